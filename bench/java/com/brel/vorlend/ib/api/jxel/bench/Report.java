package com.brel.vorlend.ib.api.jxel.bench;

import java.io.PrintWriter;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;

/**
 * Turns one bench run into bench/results.md and the data and script of its chart.
 *
 * <p>Usage: Report MACHINE.txt INSTRUCTIONS.tsv JAVA.tsv... CONVERSION.csv RESULTS.md CHART_DIR
 * CHART.png
 */
public final class Report {
    /** The scaling case that shows what this machine gives two threads at all. */
    private static final String MACHINE_REFERENCE =
            "pure Java loop (machine reference) 2 threads / 1";

    /** One Java measurement: label (run), group, name, median, quartiles. */
    record Row(String run, String group, String name, String unit, double median, double q1,
            double q3, double[] samples) {}

    /**
     * One conversion case, medians over the repetitions: its time per call, its floors'
     * (0: none) and MB/s; then its per-repetition ratios to the floors, median and quartiles.
     */
    record Conv(double ns, double strdupNs, double iconvNs, double newStringNs, double mbps,
            Ratio xStrdup, Ratio xIconv, Ratio xLeast) {}

    /** A ratio of two cases timed in the same rounds: the median of the per-round ratios. */
    record Ratio(double median, double q1, double q3) {
        static final Ratio NONE = new Ratio(Double.NaN, Double.NaN, Double.NaN);

        /** A ratio without quartiles: of two cases not timed in the same rounds. */
        static Ratio of(double median) {
            return new Ratio(median, Double.NaN, Double.NaN);
        }

        /** A row whose samples are ratios themselves (two threads over one). */
        static Ratio of(Row row) {
            return row == null ? NONE : new Ratio(row.median, row.q1, row.q3);
        }

        /** As printed: the median, then its quartiles. */
        String text() {
            if (Double.isNaN(median)) return "no data";
            return Double.isNaN(q1) ? f(median) + "x"
                    : f(median) + "x (" + f(q1) + "–" + f(q3) + ")";
        }
    }

    private final Map<String, Row> java = new LinkedHashMap<>();
    private final Map<String, Conv> conv = new LinkedHashMap<>();
    private final List<String[]> targets = new ArrayList<>();
    /** The two-thread targets: what, ratio of, values, limit, verdict, then for the chart. */
    private final List<String[]> bridgeTargets = new ArrayList<>();
    private final List<String> bridgeRuns = new ArrayList<>();
    /** Why the two-thread verdicts say little, when they do; empty otherwise. */
    private String scalingCaveat = "";
    /** bench/count.sh's rows: native, text, bridge, baseline, ratio, target, met. */
    private final List<String[]> instructions = new ArrayList<>();
    private final List<String> missing = new ArrayList<>();

    private Report() {}

    public static void main(String[] args) throws Exception {
        if (args.length < 6) {
            System.err.println("usage: Report MACHINE.txt INSTRUCTIONS.tsv JAVA.tsv..."
                    + " CONVERSION.csv RESULTS.md CHART_DIR CHART.png");
            System.exit(2);
        }
        Report report = new Report();
        int last = args.length - 1;
        for (String line : Files.readAllLines(Path.of(args[1]), StandardCharsets.UTF_8)) {
            if (!line.isBlank()) report.instructions.add(line.split("\t", -1));
        }
        if (report.instructions.isEmpty()) report.missing.add("the instruction counts");
        for (int i = 2; i < last - 3; i++) report.readJava(Path.of(args[i]));
        report.readConversion(Path.of(args[last - 3]));
        String machine = Files.readString(Path.of(args[0]), StandardCharsets.UTF_8).trim();
        report.write(machine, Path.of(args[last - 2]), Path.of(args[last - 1]), args[last]);
        if (!report.missing.isEmpty()) {
            System.err.println("missing measurements: " + report.missing);
            System.exit(1);
        }
    }

    private static String key(String run, String group, String name) {
        return run + "|" + group + "|" + name;
    }

    private void readJava(Path file) throws Exception {
        for (String line : Files.readAllLines(file, StandardCharsets.UTF_8)) {
            String[] f = line.split("\t");
            if (f.length < 7) continue;
            double[] samples = new double[0];
            if (f.length > 9 && !f[9].isEmpty()) {
                String[] parts = f[9].split(",");
                samples = new double[parts.length];
                for (int i = 0; i < parts.length; i++) samples[i] = Double.parseDouble(parts[i]);
            }
            Row row = new Row(f[0], f[1], f[2], f[3], Double.parseDouble(f[4]),
                    Double.parseDouble(f[5]), Double.parseDouble(f[6]), samples);
            java.put(key(row.run, row.group, row.name), row);
        }
    }

    /**
     * Google Benchmark's CSV: the _median, _q1 and _q3 aggregates of every case's counters.
     */
    private void readConversion(Path file) throws Exception {
        List<String> lines = Files.readAllLines(file, StandardCharsets.UTF_8);
        int header = 0;
        while (header < lines.size() && !lines.get(header).startsWith("name,")) header++;
        String[] columns = lines.get(header).split(",");
        String[] names = {"ns", "strdup_ns", "iconv_ns", "newstring_ns", "MBps", "x_strdup",
            "x_iconv", "x_least"};
        int[] at = new int[names.length];
        for (int i = 0; i < names.length; i++) at[i] = indexOf(columns, "\"" + names[i] + "\"");
        List<String> statistics = List.of("median", "q1", "q3");
        Map<String, double[][]> values = new LinkedHashMap<>();
        for (String line : lines.subList(header + 1, lines.size())) {
            String[] f = line.split(",", -1);
            String name = f[0].replace("\"", "");
            int statistic = statistics.indexOf(name.substring(name.lastIndexOf('_') + 1));
            if (statistic < 0) continue;
            name = name.substring(0, name.lastIndexOf('_')).replace("/manual_time", "");
            double[] v = new double[names.length];
            for (int i = 0; i < names.length; i++) {
                v[i] = f[at[i]].isEmpty() ? 0 : Double.parseDouble(f[at[i]]);
            }
            values.computeIfAbsent(name, n -> new double[statistics.size()][])[statistic] = v;
        }
        // Back in the order the cases are registered: the repetitions ran in a random one.
        values.keySet().stream().sorted(Comparator.comparing(Report::caseOrder)).forEach(name -> {
            double[][] v = values.get(name);
            Ratio[] x = new Ratio[3];
            for (int i = 0; i < 3; i++) x[i] = new Ratio(v[0][5 + i], v[1][5 + i], v[2][5 + i]);
            conv.put(name, new Conv(v[0][0], v[0][1], v[0][2], v[0][3], v[0][4], x[0], x[1], x[2]));
        });
    }

    /** A case name's place in the bench's order: by text, size, code set, direction. */
    private static String caseOrder(String name) {
        String[] part = name.split("/");
        if (part.length != 4) return "~" + name;
        List<String> texts = List.of("ascii", "latin1", "japanese", "emoji");
        List<String> sizes = List.of("16B", "1KiB", "64KiB");
        return String.format(Locale.ROOT, "%d %d %s %s", texts.indexOf(part[1]),
                sizes.indexOf(part[2]), part[3].equals("utf8") ? "" : part[3],
                part[0].startsWith("From") ? "0" : "1");
    }

    private static int indexOf(String[] columns, String name) {
        for (int i = 0; i < columns.length; i++) {
            if (columns[i].equals(name) || columns[i].equals(name.replace("\"", ""))) return i;
        }
        throw new IllegalArgumentException("no column " + name);
    }

    private Row row(String run, String group, String name) {
        Row row = java.get(key(run, group, name));
        if (row == null) missing.add(key(run, group, name));
        return row;
    }

    private Conv conv(String name) {
        Conv c = conv.get(name);
        if (c == null) missing.add(name);
        return c;
    }

    private static String f(double value) {
        if (Double.isNaN(value)) return "–";
        if (value >= 100) return String.format(Locale.ROOT, "%.0f", value);
        if (value >= 10) return String.format(Locale.ROOT, "%.1f", value);
        return String.format(Locale.ROOT, "%.2f", value);
    }

    /** Records a target: measured ratio, limit, at most (true) or at least. */
    private void target(String what, String ratioOf, Ratio measured, double limit,
            boolean atMost) {
        double m = measured.median();
        boolean met = atMost ? m <= limit : m >= limit;
        targets.add(new String[] {what, ratioOf, measured.text(),
                (atMost ? "≤ " : "≥ ") + f(limit) + "x", met ? "met" : "**missed**",
                Double.toString(m), Double.toString(limit), Boolean.toString(atMost)});
    }

    /** The JDK a bridge run used, from its label: "bridge" is the build's JDK 17. */
    private static String jdkOf(String run) {
        return run.equals("bridge") ? "JDK 17" : "JDK " + run.substring(run.indexOf("jdk") + 3);
    }

    /** The bridge's time rows, one value per bridge run: what, then the runs' ratios. */
    private final List<String[]> timeRows = new ArrayList<>();

    /**
     * Records an at-least target of the bridge, measured on every bridge run (one ratio per
     * run); met when every run's median reaches it. The caveat follows the verdict.
     */
    private void bridgeTarget(String what, String ratioOf, Ratio[] measured, double limit,
            String caveat) {
        boolean met = true;
        List<String> values = new ArrayList<>();
        for (Ratio r : measured) {
            values.add(r.text());
            met &= r.median() >= limit;
        }
        bridgeTargets.add(new String[] {what, ratioOf, String.join(" | ", values),
                "≥ " + f(limit) + "x", (met ? "met" : "**missed**") + caveat,
                Double.toString(measured[0].median()), Double.toString(limit), "false"});
    }

    /**
     * The bridge's timed rows: each native over its baseline (information; instructions
     * decide), and two threads' scaling over the baseline's scaling (a target).
     */
    private void bridgeTargets() {
        for (Row r : java.values()) {
            if (r.run.startsWith("bridge") && !bridgeRuns.contains(r.run)) bridgeRuns.add(r.run);
        }
        bridgeRuns.sort((a, b) -> a.equals("bridge") ? -1 : b.equals("bridge") ? 1 : a.compareTo(b));
        if (bridgeRuns.isEmpty()) {
            missing.add("the bridge run");
            return;
        }
        for (Row r : java.values()) {
            if (!r.run.equals(bridgeRuns.get(0)) || !r.group.equals("bridge")) continue;
            List<String> values = new ArrayList<>(List.of(r.name));
            for (String run : bridgeRuns) {
                values.add(ratio(row(run, "bridge", r.name), row(run, "baseline", r.name)).text());
            }
            timeRows.add(values.toArray(new String[0]));
        }
        // A ratio of two scalings shows the bridge's share only where the machine let two
        // threads scale at all: where its own reference did not, the verdict says so.
        List<String> unscaled = new ArrayList<>();
        for (String run : bridgeRuns) {
            Ratio machine = Ratio.of(row(run, "scaling", MACHINE_REFERENCE));
            if (!(machine.median() >= 1.5)) unscaled.add(machine.text() + " on " + jdkOf(run));
        }
        String caveat = "";
        if (!unscaled.isEmpty()) {
            caveat = ", not conclusive";
            scalingCaveat = "Not conclusive: the machine reference (a pure Java loop) scaled only "
                    + String.join(" and ", unscaled) + "; other work held the second core.";
        }
        for (String name : new String[] {"XelGetLong", "XelSetString short ASCII"}) {
            String scaling = name + " 2 threads / 1";
            Ratio[] values = new Ratio[bridgeRuns.size()];
            for (int i = 0; i < values.length; i++) {
                String run = bridgeRuns.get(i);
                values[i] = ratio(row(run, "scaling", scaling),
                        row(run, "scaling", "baseline of " + scaling));
            }
            bridgeTarget("2 threads / 1, " + name, "bridge's scaling / baseline's", values, 0.95,
                    caveat);
        }
    }

    /**
     * a over b. Cases of one run were timed in the same rounds, one after the other, so
     * the per-round ratios are taken: a change of load between rounds then moves both
     * sides of each ratio alike.
     */
    private static Ratio ratio(Row a, Row b) {
        if (a == null || b == null) return Ratio.NONE;
        if (!a.run.equals(b.run) || a.samples.length == 0
                || a.samples.length != b.samples.length) {
            return Ratio.of(a.median / b.median);
        }
        double[] ratios = new double[a.samples.length];
        for (int i = 0; i < ratios.length; i++) ratios[i] = a.samples[i] / b.samples[i];
        Arrays.sort(ratios);
        return new Ratio(Harness.quantile(ratios, 0.5), Harness.quantile(ratios, 0.25),
                Harness.quantile(ratios, 0.75));
    }

    private void write(String machine, Path md, Path chartDir, String png) throws Exception {
        bridgeTargets();
        // ---- Informational: the stand-in agent, JNA, the conversion functions ----
        Row empty = row("utf8", "floor", "empty native");
        for (String name : new String[] {"XelDataType", "XelGetLong", "XelSetLong", "XelSetDouble",
                "XelGetListLength", "XelAddListElement", "XelDeleteListElement (last)"}) {
            target(name, "/ empty native", ratio(row("utf8", "native", name), empty), 3, true);
        }
        target("XelGetString short ASCII", "/ lookup+NewStringUTF+SetObjectField",
                ratio(row("utf8", "native", "XelGetString short ASCII"),
                        row("utf8", "floor", "lookup+NewStringUTF+SetObjectField short ASCII")),
                1.5, true);
        target("XelSetString short ASCII", "/ GetStringUTFChars+Release",
                ratio(row("utf8", "native", "XelSetString short ASCII"),
                        row("utf8", "floor", "GetStringUTFChars+Release short ASCII")),
                2, true);
        String[][] jnaPairs = {
            {"get integer", "XelGetLong"},
            {"get string short ASCII", "XelGetString short ASCII"},
            {"set string short ASCII", "XelSetString short ASCII"}};
        for (String[] pair : jnaPairs) {
            Row nativeRow = row("utf8", "native", pair[1]);
            target("JNA " + pair[0] + " (interface mapping)", "/ " + pair[1],
                    ratio(row("utf8", "jna", pair[0] + " (interface)"), nativeRow), 5, false);
            target("JNA " + pair[0] + " (direct mapping)", "/ " + pair[1],
                    ratio(row("utf8", "jna", pair[0] + " (direct)"), nativeRow), 5, false);
        }
        for (String direction : new String[] {"FromUTF", "ToUTF"}) {
            for (String kind : new String[] {"ascii", "latin1", "japanese"}) {
                String name = direction + "/" + kind + "/64KiB/utf8";
                Conv ours = conv(name);
                if (ours != null) target(name, "/ strdup", ours.xStrdup, 2, true);
            }
            for (String kind : new String[] {"ascii/64KiB/819", "latin1/64KiB/819",
                    "japanese/64KiB/932"}) {
                String name = direction + "/" + kind;
                Conv ours = conv(name);
                if (ours != null) {
                    target(name, "/ iconv, ready descriptor", ours.xIconv, 1.5, true);
                }
            }
        }
        for (String name : new String[] {"XelGetLong 2 threads / 1",
                "XelSetString short ASCII 2 threads / 1"}) {
            target("throughput " + name, "", Ratio.of(row("utf8", "scaling", name)), 1.6, false);
        }

        try (PrintWriter out = new PrintWriter(Files.newBufferedWriter(md, StandardCharsets.UTF_8))) {
            out.println("# Bench results");
            out.println();
            out.println(machine);
            out.println();
            out.println("Written by `./build.sh bench` (Release build). Instructions: counted by"
                    + " callgrind (bench/count.sh), they decide the single-thread targets. Java:"
                    + " every case timed once per round, after warm-up; a ratio of two cases is"
                    + " the median of their per-round ratios, with its quartiles in brackets;"
                    + " times are medians with their quartiles. C++ (Google Benchmark): each"
                    + " case alternates with its floors, batch by batch; times and ratios are"
                    + " medians of 9 repetitions (ratios with their quartiles), which run in a"
                    + " random order among the other cases'. Other work on the machine inflates"
                    + " times and spreads: see the load above. The chart is"
                    + " [results.png](results.png); where the time goes is in"
                    + " [PROFILE.md](PROFILE.md).");
            out.println();
            out.println("## Targets: instructions per call");
            out.println();
            out.println("Each native against its baseline: a native of the bench's own that makes"
                    + " the same agent calls and the same JNI calls, in the same order, and"
                    + " nothing else but the copy the identity conversion hands the setter"
                    + " (bench/native/baselines.cpp). Both run against a trivial agent built"
                    + " for the bench (bench/native/trivial_agent.cpp) under the UTF-8 code"
                    + " set, called straight from C++ in one JVM (bench/native/native_driver.cpp,"
                    + " -Xint, so both sides see the same JVM). Counted inside the natives, with"
                    + " everything they call: (count of 2N calls - count of N calls) / N. The"
                    + " baseline's getter is given the text in Java's form, so both sides make"
                    + " the same String and only the bridge converts. Latin-1-range texts are"
                    + " all characters U+00E0..U+00FF; the emoji are U+1F600..U+1F64F."
                    + " Regenerate this table alone with `bench/count.sh build-bench`.");
            out.println();
            out.println("| Native | Text | Bridge | Baseline | Ratio | Target | |");
            out.println("|---|---|---:|---:|---:|---:|---|");
            for (String[] c : instructions) {
                out.printf("| %s | %s | %s | %s | %sx | ≤ %sx | %s |%n", c[0],
                        c[1].isEmpty() ? "–" : c[1], c[2], c[3], c[4], c[5],
                        c[6].equals("met") ? "met" : "**missed**");
            }
            out.println();
            out.println("## Targets: two threads");
            out.println();
            out.println("Two threads' throughput over one thread's, for a native and for its"
                    + " baseline in the same rounds (60 per run); the figure is the median over"
                    + " the rounds of the bridge's scaling over the baseline's, quartiles in"
                    + " brackets. At 1.00x the bridge adds nothing that its threads share.");
            out.println();
            out.println(perRun("| What | Ratio", " | Target | |"));
            out.println(perRun("|---|---", "|---:|---|"));
            for (String[] t : bridgeTargets) {
                out.printf("| %s | %s | %s | %s | %s |%n", t[0], t[1], t[2], t[3], t[4]);
            }
            out.println();
            if (!scalingCaveat.isEmpty()) {
                out.println(scalingCaveat);
                out.println();
            }
            out.println("## Time: each native over its baseline");
            out.println();
            out.println("The same natives and baselines as the instruction counts, from Java,"
                    + " timed in the same 151 rounds of about 2 ms each; the median of the"
                    + " per-round ratios, quartiles in brackets. For information: on this"
                    + " shared machine the instruction counts decide.");
            out.println();
            out.println(perRun("| Native | Ratio", " |"));
            out.println(perRun("|---|---", "|"));
            for (String[] t : timeRows) {
                out.printf("| %s | / baseline | %s |%n", t[0],
                        String.join(" | ", Arrays.copyOfRange(t, 1, t.length)));
            }
            out.println();
            out.println("## Informational: the stand-in agent, JNA, the conversion functions");
            out.println();
            out.println("What a user sees with the stand-in agent behind the natives, what"
                    + " binding the agent with JNA would cost, and the conversion functions"
                    + " against strdup and iconv. The limits are the earlier ones, kept for"
                    + " comparison; these rows mix the stand-in's cost with the bridge's.");
            out.println();
            out.println("| What | Ratio | Measured | Limit | |");
            out.println("|---|---|---:|---:|---|");
            for (String[] t : targets) {
                out.printf("| %s | %s | %s | %s | %s |%n", t[0], t[1], t[2], t[3], t[4]);
            }
            out.println();
            out.println("Conversions into Java cannot beat NewStringUTF, which alone costs many"
                    + " times strdup; the same 64 KiB cases against what they cannot avoid:");
            out.println();
            out.println("| Case | Ratio | Measured |");
            out.println("|---|---|---:|");
            for (String name : new String[] {"ToUTF/ascii/64KiB/utf8", "ToUTF/latin1/64KiB/utf8",
                    "ToUTF/japanese/64KiB/utf8", "ToUTF/emoji/64KiB/utf8", "ToUTF/ascii/64KiB/819",
                    "ToUTF/latin1/64KiB/819", "ToUTF/japanese/64KiB/932"}) {
                Conv c = conv.get(name);
                if (c == null) continue;
                out.printf("| %s | %s | %s |%n", name,
                        name.endsWith("utf8") ? "/ NewStringUTF" : "/ (iconv + NewStringUTF)",
                        c.xLeast.text());
            }
            for (String run : bridgeRuns) {
                javaTable(out, run, "Java, " + jdkOf(run) + ": the bridge and its baselines on"
                        + " the trivial agent", new String[] {"baseline", "bridge"});
            }
            javaTable(out, "utf8", "Java: natives and floors, local code set UTF-8",
                    new String[] {"floor", "native", "jna"});
            javaTable(out, "latin1", "Java: texts under XELAGT_CODESET=ISO-8859-1",
                    new String[] {"floor", "native", "jna"});
            out.println();
            out.println("## Conversion functions (C++)");
            out.println();
            out.println("Identity: local code set UTF-8 (69); otherwise ISO-8859-1 (819) or"
                    + " Shift_JIS (932). MB/s counts the text's bytes as standard UTF-8."
                    + " Floors: strdup of the same input; iconv called once with a ready"
                    + " descriptor into a ready buffer; NewStringUTF of the final Java text.");
            out.println();
            out.println("The last column sets each case against the least any implementation"
                    + " must do: strdup (FromUTF, identity), iconv (FromUTF, other code sets),"
                    + " NewStringUTF (ToUTF, identity), iconv + NewStringUTF (ToUTF, other code"
                    + " sets).");
            out.println();
            out.println("| Case | ns/call | MB/s | strdup ns | iconv ns | NewStringUTF ns"
                    + " | / strdup | / iconv | / least possible |");
            out.println("|---|---:|---:|---:|---:|---:|---:|---:|---:|");
            for (Map.Entry<String, Conv> e : conv.entrySet()) {
                String name = e.getKey();
                Conv c = e.getValue();
                out.printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s |%n", name, f(c.ns),
                        f(c.mbps), f(c.strdupNs), c.iconvNs == 0 ? "–" : f(c.iconvNs),
                        c.newStringNs == 0 ? "–" : f(c.newStringNs), c.xStrdup.text(),
                        c.iconvNs == 0 ? "–" : c.xIconv.text(), c.xLeast.text());
            }
            out.println();
            out.println("## Scaling");
            out.println();
            out.println("| Agent, JDK | Case | 2-thread / 1-thread throughput | quartiles |");
            out.println("|---|---|---:|---|");
            for (Row r : java.values()) {
                if (!r.group.equals("scaling")) continue;
                String where = r.run.startsWith("bridge") ? "trivial, " + jdkOf(r.run)
                        : "stand-in, JDK 17";
                out.printf("| %s | %s | %s | %s..%s |%n", where, r.name, f(r.median), f(r.q1),
                        f(r.q3));
            }
        }
        writeChart(chartDir, png);
    }

    /** A table's head or rule, with a column for each bridge run between first and last. */
    private String perRun(String first, String last) {
        boolean rule = first.startsWith("|-");
        StringBuilder line = new StringBuilder(first);
        for (String run : bridgeRuns) line.append(rule ? "|---:" : " | " + jdkOf(run));
        return line.append(last).toString();
    }

    private void javaTable(PrintWriter out, String run, String title, String[] groups) {
        out.println();
        out.println("## " + title);
        out.println();
        out.println("| Group | Case | median ns/call | quartiles | spread |");
        out.println("|---|---|---:|---|---:|");
        for (String group : groups) {
            for (Row r : java.values()) {
                if (!r.run.equals(run) || !r.group.equals(group)) continue;
                double spread = r.median == 0 ? 0 : 100 * (r.q3 - r.q1) / r.median;
                out.printf(Locale.ROOT, "| %s | %s | %s | %s..%s | %.1f%% |%n", group, r.name,
                        f(r.median), f(r.q1), f(r.q3), spread);
            }
        }
    }

    private static String quote(String label) {
        return "\"" + label.replace("\"", "'") + "\"";
    }

    private void writeChart(Path dir, String png) throws Exception {
        Files.createDirectories(dir);
        try (PrintWriter out = new PrintWriter(
                Files.newBufferedWriter(dir.resolve("java.dat"), StandardCharsets.UTF_8))) {
            for (Row r : java.values()) {
                if (!r.run.equals("utf8") || r.group.equals("scaling")) continue;
                int color = r.group.equals("floor") ? 1 : r.group.equals("native") ? 2 : 3;
                out.printf(Locale.ROOT, "%s %.3f %d%n", quote(r.group + ": " + r.name), r.median,
                        color);
            }
        }
        try (PrintWriter out = new PrintWriter(
                Files.newBufferedWriter(dir.resolve("targets.dat"), StandardCharsets.UTF_8))) {
            List<String[]> charted = new ArrayList<>();
            for (String[] c : instructions) {
                charted.add(new String[] {"instructions: " + c[0] + " " + c[1], "", "", "", "",
                    c[4], c[5], "true"});
            }
            charted.addAll(bridgeTargets);
            charted.addAll(targets);
            for (String[] t : charted) {
                // Measured over limit, turned so that at most 1.0 always means "met".
                double measured = Double.parseDouble(t[5]);
                double limit = Double.parseDouble(t[6]);
                double score = Boolean.parseBoolean(t[7]) ? measured / limit : limit / measured;
                out.printf(Locale.ROOT, "%s %.4f%n", quote(t[0]), score);
            }
        }
        try (PrintWriter out = new PrintWriter(
                Files.newBufferedWriter(dir.resolve("conversion.dat"), StandardCharsets.UTF_8))) {
            for (Map.Entry<String, Conv> e : conv.entrySet()) {
                String name = e.getKey();
                if (!name.contains("/64KiB/")) continue;
                Conv c = e.getValue();
                // The floors' MB/s from their times; NaN (no such floor) is left out of the
                // logarithmic plot.
                double perNs = c.mbps * c.ns;
                out.printf(Locale.ROOT, "%s %.1f %.1f %.1f %.1f%n", quote(name), c.mbps,
                        perNs / c.strdupNs, c.iconvNs == 0 ? Double.NaN : perNs / c.iconvNs,
                        c.newStringNs == 0 ? Double.NaN : perNs / c.newStringNs);
            }
        }
        try (PrintWriter out = new PrintWriter(
                Files.newBufferedWriter(dir.resolve("chart.gp"), StandardCharsets.UTF_8))) {
            out.println("set terminal pngcairo size 1400,2100 font 'sans,9' noenhanced");
            out.println("set output " + quote(png));
            out.println("set multiplot layout 3,1");
            out.println("set style fill solid 0.8 border -1");
            out.println("set boxwidth 0.7");
            out.println("set grid ytics");
            out.println("set xtics rotate by 60 right");
            out.println("set bmargin 21");
            out.println("set key off");
            out.println("set title 'Java: median ns per call (log scale); floors, natives, JNA'");
            out.println("set logscale y");
            out.println("set ylabel 'ns/call'");
            out.println("plot '" + dir.resolve("java.dat") + "' using 0:2:3:xtic(1) with boxes"
                    + " lc variable");
            out.println("set title 'Targets: measured/limit (inverted for at-least targets);"
                    + " at most 1 (red line) is met; log scale'");
            out.println("set ylabel 'score'");
            out.println("plot '" + dir.resolve("targets.dat") + "' using 0:2:xtic(1) with boxes"
                    + " lc rgb '#4477aa', 1 with lines lw 2 lc rgb 'red'");
            out.println("set title 'Conversion of 64 KiB: MB/s of the function and its floors"
                    + " (log scale)'");
            out.println("set ylabel 'MB/s'");
            out.println("set key top right");
            out.println("set style data histogram");
            out.println("set style histogram clustered gap 1");
            out.println("set boxwidth 0.9 relative");
            out.println("plot '" + dir.resolve("conversion.dat") + "' using 2:xtic(1) title"
                    + " 'function', '' using 3 title 'strdup', '' using 4 title 'iconv (ready)',"
                    + " '' using 5 title 'NewStringUTF'");
            out.println("unset multiplot");
        }
    }
}
