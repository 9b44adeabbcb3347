// convertStringFromUTF and convertStringToUTF against their floors: strdup of
// the same bytes, the platform converter (iconv) called once with a ready
// descriptor, and, for the way into Java, NewStringUTF of the final text.
//
// A JVM runs in this process (invocation API) so convertStringToUTF makes real
// Java strings. Case names: Direction/text/size/codeset; the floors are
// counters of each case (see measure); bench/run.sh and Report read them back.
#include <benchmark/benchmark.h>
#include <iconv.h>
#include <jni.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "jxel_convert.h"
#include "standin.h"

namespace {

JNIEnv* g_env = nullptr;

void startJvm() {
    JavaVMOption options[] = {
        {const_cast<char*>("-Xrs"), nullptr},  // leave the process's signals alone
        {const_cast<char*>("-XX:+UseSerialGC"), nullptr},
        {const_cast<char*>("-Xmx256m"), nullptr},
    };
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_8;
    args.nOptions = sizeof options / sizeof options[0];
    args.options = options;
    JavaVM* vm = nullptr;
    if (JNI_CreateJavaVM(&vm, reinterpret_cast<void**>(&g_env), &args) != JNI_OK) {
        std::fprintf(stderr, "cannot start a JVM\n");
        std::exit(1);
    }
}

// Sample texts, repeated and cut at a character boundary to the size asked.
struct Kind {
    const char* name;
    const char* sample;  // standard UTF-8
    int codeset;         // the non-identity code set that can hold it, 0 for none
    const char* iconvName;
};

const Kind kKinds[] = {
    {"ascii", "The quick brown fox jumps over the lazy dog; 0123456789. ",
     XELAGT_CODESET_ISO_8859_1, "ISO-8859-1"},
    {"latin1",
     "Gr\xC3\xB6\xC3\x9F"
     "e: 12 \xC2\xA3, Caf\xC3\xA9 cr\xC3\xA8me \xC3\xA0 Z\xC3\xBCrich, "
     "a\xC3\xB1o \xC3\x86r\xC3\xB8. ",
     XELAGT_CODESET_ISO_8859_1, "ISO-8859-1"},
    {"japanese",
     "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9"
     "\xE3\x83\x88\xE3\x82\x92\xE5\xA4\x89\xE6\x8F\x9B\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x99"
     "\xE3\x80\x82\xE6\x9D\xB1\xE4\xBA\xAC\xE9\x83\xBD\xE3\x80\x81\xE6\xA0\xAA\xE5\xBC\x8F"
     "\xE4\xBC\x9A\xE7\xA4\xBE\xE3\x80\x82",
     XELAGT_CODESET_SHIFT_JIS, "CP932"},
    {"emoji", "Launch \xF0\x9F\x9A\x80 at 10 \xF0\x9F\x8E\x89\xF0\x9F\x91\x8D\xF0\x9F\x98\x80 ", 0,
     nullptr},
};

struct Size {
    const char* name;
    std::size_t bytes;
};
const Size kSizes[] = {{"16B", 16}, {"1KiB", 1024}, {"64KiB", 65536}};

std::size_t sequenceLength(unsigned char lead) {
    return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

std::string makeText(const char* sample, std::size_t size) {
    std::string text;
    const std::size_t sampleLength = std::strlen(sample);
    std::size_t i = 0;
    while (true) {
        const auto lead = static_cast<unsigned char>(sample[i % sampleLength]);
        const std::size_t n = sequenceLength(lead);
        if (text.size() + n > size) break;
        text.append(sample + i % sampleLength, n);
        i += n;
    }
    return text;
}

// What GetStringUTFChars gives for the text: 4-byte sequences as surrogate pairs.
std::string toModified(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto* s = reinterpret_cast<const unsigned char*>(text.data() + i);
        const std::size_t n = sequenceLength(s[0]);
        if (n == 4) {
            const unsigned code = ((s[0] & 0x07u) << 18) | ((s[1] & 0x3Fu) << 12) |
                                  ((s[2] & 0x3Fu) << 6) | (s[3] & 0x3Fu);
            for (unsigned unit :
                 {0xD800 + ((code - 0x10000) >> 10), 0xDC00 + ((code - 0x10000) & 0x3FF)}) {
                out += static_cast<char>(0xE0 | (unit >> 12));
                out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (unit & 0x3F));
            }
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    return out;
}

std::string iconvAll(const char* to, const char* from, const std::string& text) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::fprintf(stderr, "iconv cannot convert %s to %s\n", from, to);
        std::exit(1);
    }
    std::string out(text.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    char* o = out.data();
    std::size_t outLeft = out.size();
    if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1)) {
        std::fprintf(stderr, "iconv failed on a sample text\n");
        std::exit(1);
    }
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

void setCodeset(int codeset) {
    if (xelagt_test_set_codeset(codeset) != 0) {
        std::fprintf(stderr, "the agent does not know code set %d\n", codeset);
        std::exit(1);
    }
}

// One measured case with its inputs; kept alive for the whole run.
struct Case {
    std::string name;
    int codeset;           // the agent's local code set while it runs
    bool toJava;           // convertStringToUTF, else convertStringFromUTF
    std::string input;     // what the function under test receives
    std::string expected;  // what it must produce (local bytes, or the Java text as UTF-8)
    const char* iconvTo;   // iconv's names for the floor; null for identity
    const char* iconvFrom;
    std::size_t utf8Bytes;  // the text's size as standard UTF-8, for MB/s
};

std::string javaText(jstring string) {
    const char* chars = g_env->GetStringUTFChars(string, nullptr);
    std::string text = chars != nullptr ? chars : "";
    g_env->ReleaseStringUTFChars(string, chars);
    return text;
}

bool givesTheRightText(const Case& c) {
    if (c.toJava) {
        jstring string = convertStringToUTF(const_cast<char*>(c.input.c_str()), g_env);
        const bool right = string != nullptr && javaText(string) == toModified(c.expected);
        g_env->DeleteLocalRef(string);
        return right;
    }
    char* text = convertStringFromUTF(c.input.c_str());
    const bool right = text != nullptr && c.expected == text;
    xelagt_release_buffer(text);
    return right;
}

// Seconds for `calls` calls of f.
template <typename F>
double timeCalls(int calls, F&& f) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i) f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The case and its floors in turns, a batch of each per iteration: this machine's speed
// drifts by up to half over seconds (other guests on the host), and a ratio of times
// taken a moment apart does not see that drift. Reported per call: "ns" (the case),
// "strdup_ns", "iconv_ns", "newstring_ns" (0 where no such floor), "MBps" and the ratios
// below.
void measure(benchmark::State& state, const Case* c) {
    setCodeset(c->codeset);
    if (!givesTheRightText(*c)) {
        state.SkipWithError("the conversion gives the wrong text");
        return;
    }
    // Batches long enough for the clock (at least ~8 KiB of text each).
    const int calls = static_cast<int>(
        std::max<std::size_t>(1, 8192 / std::max<std::size_t>(1, c->input.size())));
    iconv_t cd = c->iconvTo != nullptr ? iconv_open(c->iconvTo, c->iconvFrom)
                                       : reinterpret_cast<iconv_t>(-1);
    std::vector<char> out(c->input.size() * 4 + 16);
    const std::string modified = toModified(c->expected);
    double ours = 0, dup = 0, ic = 0, fresh = 0;
    for (auto _ : state) {
        const double t = c->toJava ? timeCalls(calls,
                                               [&] {
                                                   jstring string = convertStringToUTF(
                                                       const_cast<char*>(c->input.c_str()), g_env);
                                                   benchmark::DoNotOptimize(string);
                                                   g_env->DeleteLocalRef(string);
                                               })
                                   : timeCalls(calls, [&] {
                                         char* text = convertStringFromUTF(c->input.c_str());
                                         benchmark::DoNotOptimize(text);
                                         xelagt_release_buffer(text);
                                     });
        state.SetIterationTime(t);
        ours += t;
        dup += timeCalls(calls, [&] {
            char* copy = strdup(c->input.c_str());
            benchmark::DoNotOptimize(copy);
            std::free(copy);
        });
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            // iconv called once with a ready descriptor, into a ready buffer.
            ic += timeCalls(calls, [&] {
                char* in = const_cast<char*>(c->input.data());
                std::size_t inLeft = c->input.size();
                char* o = out.data();
                std::size_t outLeft = out.size();
                benchmark::DoNotOptimize(iconv(cd, &in, &inLeft, &o, &outLeft));
                benchmark::ClobberMemory();
            });
        }
        if (c->toJava) {
            fresh += timeCalls(calls, [&] {
                jstring string = g_env->NewStringUTF(modified.c_str());
                benchmark::DoNotOptimize(string);
                g_env->DeleteLocalRef(string);
            });
        }
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
    const double n = static_cast<double>(state.iterations()) * calls;
    state.counters["ns"] = ours / n * 1e9;
    state.counters["strdup_ns"] = dup / n * 1e9;
    state.counters["iconv_ns"] = ic / n * 1e9;
    state.counters["newstring_ns"] = fresh / n * 1e9;
    state.counters["MBps"] = static_cast<double>(c->utf8Bytes) * n / ours / 1e6;
    // Ratios of this repetition's sums; their medians over the repetitions are the ones
    // reported. "x_least": against all an implementation cannot avoid, iconv (or the
    // copy, for identity) and, into Java, NewStringUTF.
    const double least = (ic > 0 ? ic : c->toJava ? 0 : dup) + fresh;
    state.counters["x_strdup"] = ours / dup;
    state.counters["x_iconv"] = ic > 0 ? ours / ic : 0;
    state.counters["x_least"] = ours / least;
}

// The quartiles of a case's repetitions, reported beside their median.
double quartile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    const double position = q * static_cast<double>(values.size() - 1);
    const std::size_t below = static_cast<std::size_t>(position);
    const std::size_t above = std::min(below + 1, values.size() - 1);
    return values[below] +
           (values[above] - values[below]) * (position - static_cast<double>(below));
}
double lowerQuartile(const std::vector<double>& values) { return quartile(values, 0.25); }
double upperQuartile(const std::vector<double>& values) { return quartile(values, 0.75); }

void registerCases() {
    for (const Kind& kind : kKinds) {
        for (const Size& size : kSizes) {
            const std::string text = makeText(kind.sample, size.bytes);
            const std::string base = std::string(kind.name) + "/" + size.name;
            // Identity first, then the code set that can hold the text.
            std::vector<int> codesets = {XELAGT_CODESET_UTF8};
            if (kind.codeset != 0) codesets.push_back(kind.codeset);
            for (int codeset : codesets) {
                const bool identity = codeset == XELAGT_CODESET_UTF8;
                const std::string local = identity ? text : iconvAll(kind.iconvName, "UTF-8", text);
                const std::string tail = identity ? "utf8" : std::to_string(codeset);
                // Leaked on purpose: the benchmarks hold on to them until the process ends.
                auto* from = new Case{"FromUTF/" + base + "/" + tail,
                                      codeset,
                                      false,
                                      toModified(text),
                                      local,
                                      identity ? nullptr : kind.iconvName,
                                      identity ? nullptr : "UTF-8",
                                      text.size()};
                auto* to = new Case{"ToUTF/" + base + "/" + tail,
                                    codeset,
                                    true,
                                    local,
                                    text,
                                    identity ? nullptr : "UTF-8",
                                    identity ? nullptr : kind.iconvName,
                                    text.size()};
                for (Case* c : {from, to}) {
                    benchmark::RegisterBenchmark(c->name.c_str(), measure, c)
                        ->UseManualTime()
                        ->ComputeStatistics("q1", lowerQuartile)
                        ->ComputeStatistics("q3", upperQuartile);
                }
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    startJvm();
    registerCases();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
