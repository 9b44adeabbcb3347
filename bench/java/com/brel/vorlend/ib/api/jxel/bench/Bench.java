package com.brel.vorlend.ib.api.jxel.bench;

import com.brel.vorlend.ib.api.jxel.JXelException;
import com.brel.vorlend.ib.api.jxel.JXelObject;
import java.util.Arrays;

/**
 * Every native of JXelObject and JXelException on realistic inputs, next to the JNI
 * floors and to JNA calling the same agent operations.
 *
 * <p>Usage: Bench utf8|latin1|bridge OUTPUT.tsv [LABEL]. The utf8 and latin1 runs time the
 * natives with the stand-in agent (-Djxel.agent=path/to/libxelagtapi.so, for JNA); the
 * latin1 run expects the agent started with XELAGT_CODESET=ISO-8859-1 and JNA told the
 * same (-Djna.encoding=ISO-8859-1). The bridge run expects java.library.path to hold the
 * bridge beside the trivial agent and the baselines (build-bench/trivial-agent).
 */
public final class Bench {
    static final String SHORT_ASCII = "Order 4711 shipped to Hamburg";
    static final String SHORT_LATIN1 = "Grüße aus Köln, ça coûte 12 £";

    // Attribute numbers; the stand-in gives them no meaning beyond their kind.
    static final int TEXT = 10;
    static final int TEXT_KIB = 11;
    static final int NUMBER = 20;
    static final int REAL = 30;
    static final int LIST = 40;
    static final int GROWING_LIST = 41;
    static final int FIELD = 1;

    // Calls that make objects or list elements keep them until their batch ends; batches
    // this small keep the agent's data in cache, as a program's few live objects would be.
    static final int OBJECT_LIMIT = 1_000;

    private Bench() {}

    static String kib(String unit) {
        StringBuilder text = new StringBuilder();
        while (text.length() < 1024) text.append(unit).append(' ');
        return text.substring(0, 1024);
    }

    static void expect(boolean condition, String what) {
        if (!condition) throw new IllegalStateException("bench set-up failed: " + what);
    }

    static void expectStatus(long status, String what) {
        expect(status == 0, what + " returned " + status);
    }

    /** A data object with a few attributes of each kind and a short list. */
    static long richObject(JXelObject owner, String text) {
        expectStatus(owner.XelDataCreate(1), "XelDataCreate");
        long handle = owner.myXelReference;
        for (int a = 0; a < 3; a++) {
            expectStatus(owner.XelSetString(handle, TEXT + 100 + a, text), "XelSetString");
            expectStatus(owner.XelSetLong(handle, NUMBER + 100 + a, a * 7), "XelSetLong");
        }
        expectStatus(owner.XelSetDouble(handle, REAL, 2.5), "XelSetDouble");
        for (int e = 0; e < 3; e++) {
            expect(owner.XelAddListElement(handle, LIST) == e, "XelAddListElement");
            for (int f = 1; f <= 2; f++) {
                expectStatus(owner.XelSetListString(handle, LIST, text, e, f), "XelSetListString");
            }
        }
        return handle;
    }

    public static void main(String[] args) throws Exception {
        if (args.length < 2 || args.length > 3
                || !(args[0].equals("utf8") || args[0].equals("latin1") || args[0].equals("bridge"))) {
            System.err.println("usage: Bench utf8|latin1|bridge OUTPUT.tsv [LABEL]");
            System.exit(2);
        }
        Harness h = new Harness(args.length > 2 ? args[2] : args[0]);
        if (args[0].equals("bridge")) {
            bridge(h);
            h.write(args[1]);
            return;
        }
        String agentPath = System.getProperty("jxel.agent");
        expect(agentPath != null, "-Djxel.agent names libxelagtapi");
        if (args[0].equals("utf8")) {
            if (wanted("floor")) {
                floors(h, "short ASCII", SHORT_ASCII);
                floors(h, "1 KiB ASCII", kib("ASCII text"));
            }
            if (wanted("native")) {
                natives(h);
                texts(h, "short ASCII", SHORT_ASCII);
                texts(h, "1 KiB ASCII", kib("ASCII text"));
                listTexts(h, "short ASCII", SHORT_ASCII);
            }
            if (wanted("jna")) jna(h, agentPath, "short ASCII", SHORT_ASCII, true);
            h.run();
            if (wanted("scaling")) scaling(h);
        } else {
            if (wanted("floor")) {
                floors(h, "short Latin-1", SHORT_LATIN1);
                floors(h, "1 KiB Latin-1", kib(SHORT_LATIN1));
            }
            if (wanted("native")) {
                texts(h, "short Latin-1", SHORT_LATIN1);
                texts(h, "1 KiB Latin-1", kib(SHORT_LATIN1));
                texts(h, "short ASCII", SHORT_ASCII);
                listTexts(h, "short Latin-1", SHORT_LATIN1);
            }
            if (wanted("jna")) jna(h, agentPath, "short Latin-1", SHORT_LATIN1, false);
            h.run();
        }
        h.write(args[1]);
    }

    /** Times a bridge native and its baseline in the same rounds, under one name. */
    static void pair(Harness h, String name, Harness.Batch bridge, Harness.Batch baseline) {
        h.measure("bridge", name, bridge);
        h.measure("baseline", name, baseline);
    }

    /** Every timed native against its baseline, both on the trivial agent. */
    static void bridge(Harness h) throws Exception {
        JXelObject o = new JXelObject();
        Baselines b = new Baselines();
        final long handle = 1;
        expect(o.XelGetLong(handle, NUMBER) == b.getLong(handle, NUMBER), "trivial agent");
        pair(h, "XelDataType", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelDataType(handle);
            return s;
        }, n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += b.dataType(handle);
            return s;
        });
        pair(h, "XelGetLong", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelGetLong(handle, NUMBER);
            return s;
        }, n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += b.getLong(handle, NUMBER);
            return s;
        });
        pair(h, "XelSetLong", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelSetLong(handle, NUMBER, i);
            return s;
        }, n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += b.setLong(handle, NUMBER, i);
            return s;
        });
        pair(h, "XelSetDouble", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelSetDouble(handle, REAL, i * 0.5);
            return s;
        }, n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += b.setDouble(handle, REAL, i * 0.5);
            return s;
        });
        pair(h, "XelGetListLength", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelGetListLength(handle, LIST);
            return s;
        }, n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += b.getListLength(handle, LIST);
            return s;
        });
        pair(h, "XelAddListElement", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelAddListElement(handle, LIST);
            return s;
        }, n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += b.addListElement(handle, LIST);
            return s;
        });
        pair(h, "XelDeleteListElement", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelDeleteListElement(handle, LIST, i);
            return s;
        }, n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += b.deleteListElement(handle, LIST, i);
            return s;
        });
        pair(h, "XelDataCreate", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelDataCreate(1);
            return s;
        }, n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += b.dataCreate(1);
            return s;
        });
        h.run();
        // The getter's text is the agent's one text, so each text gets rounds of its own.
        String[][] texts = {{"short ASCII", SHORT_ASCII}, {"1 KiB Latin-1-range text", kib(SHORT_LATIN1)}};
        for (String[] t : texts) {
            final String text = t[1];
            Baselines.setAgentText(text);
            expectStatus(o.XelGetString(handle, TEXT), "XelGetString");
            expect(text.equals(o.myXelDataString), "XelGetString gives the agent's text");
            expectStatus(b.getString(handle, TEXT), "baseline getString");
            expect(text.equals(b.myXelDataString), "the baseline gives the agent's text");
            expectStatus(o.XelSetString(handle, TEXT, text), "XelSetString");
            pair(h, "XelGetString " + t[0], n -> {
                long s = 0;
                for (int i = 0; i < n; i++) s += o.XelGetString(handle, TEXT);
                return s;
            }, n -> {
                long s = 0;
                for (int i = 0; i < n; i++) s += b.getString(handle, TEXT);
                return s;
            });
            pair(h, "XelSetString " + t[0], n -> {
                long s = 0;
                for (int i = 0; i < n; i++) s += o.XelSetString(handle, TEXT, text);
                return s;
            }, n -> {
                long s = 0;
                for (int i = 0; i < n; i++) s += b.setString(handle, TEXT, text);
                return s;
            });
            h.run();
        }
        Baselines.setAgentText(SHORT_ASCII);
        h.scaling("scaling", machineReference());
        // Each native with its baseline in the same rounds: the bridge adds nothing that its
        // threads share when it scales as the same JNI and agent calls without it do.
        h.scaling("scaling", new Harness.Scaled("XelGetLong 2 threads / 1", t -> {
            JXelObject own = new JXelObject();
            return n -> {
                long s = 0;
                for (int i = 0; i < n; i++) s += own.XelGetLong(handle, NUMBER);
                return s;
            };
        }), new Harness.Scaled("baseline of XelGetLong 2 threads / 1", t -> {
            Baselines own = new Baselines();
            return n -> {
                long s = 0;
                for (int i = 0; i < n; i++) s += own.getLong(handle, NUMBER);
                return s;
            };
        }));
        h.scaling("scaling", new Harness.Scaled("XelSetString short ASCII 2 threads / 1", t -> {
            JXelObject own = new JXelObject();
            String text = new String(SHORT_ASCII.toCharArray());
            return n -> {
                long s = 0;
                for (int i = 0; i < n; i++) s += own.XelSetString(handle, TEXT, text);
                return s;
            };
        }), new Harness.Scaled("baseline of XelSetString short ASCII 2 threads / 1", t -> {
            Baselines own = new Baselines();
            String text = new String(SHORT_ASCII.toCharArray());
            return n -> {
                long s = 0;
                for (int i = 0; i < n; i++) s += own.setString(handle, TEXT, text);
                return s;
            };
        }));
    }

    /** What this machine gives two threads at all, for reading the scaling rows. */
    static Harness.Scaled machineReference() {
        return new Harness.Scaled("pure Java loop (machine reference) 2 threads / 1", t -> n -> {
            long s = t;
            for (int i = 0; i < n; i++) s = s * 6364136223846793005L + i;
            return s;
        });
    }

    /** -Djxel.bench.only=floor,native,jna,scaling picks sections (all by default). */
    static boolean wanted(String section) {
        String only = System.getProperty("jxel.bench.only", "");
        return only.isEmpty() || Arrays.asList(only.split(",")).contains(section);
    }

    static void floors(Harness h, String label, String text) {
        Floors floor = new Floors();
        long primed = Floors.prime(text);
        expectStatus(floor.storeString(primed, 0), "Floors.storeString");
        expect(text.equals(floor.myXelDataString), "Floors.storeString delivers the text");
        if (label.startsWith("short ASCII")) {
            h.measure("floor", "empty native", n -> {
                long s = 0;
                for (int i = 0; i < n; i++) s += floor.empty(i, 1);
                return s;
            });
            h.measure("floor", "GetObjectClass+GetFieldID+SetLongField", n -> {
                long s = 0;
                for (int i = 0; i < n; i++) s += floor.storeLong(i);
                return s;
            });
        }
        h.measure("floor", "lookup+NewStringUTF+SetObjectField " + label, n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += floor.storeString(primed, TEXT);
            return s;
        });
        h.measure("floor", "GetStringUTFChars+Release " + label, n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += floor.readString(1, TEXT, text);
            return s;
        });
    }

    /** The natives whose inputs carry no text. */
    static void natives(Harness h) {
        JXelObject o = new JXelObject();
        long handle = richObject(o, SHORT_ASCII);
        expectStatus(o.XelSetLong(handle, NUMBER, 4711), "XelSetLong");
        expect(o.XelGetLong(handle, NUMBER) == 4711, "XelGetLong reads back");
        expect(o.XelDataType(handle) == 1, "XelDataType");

        JXelObject maker = new JXelObject();
        JXelObject freer = new JXelObject();
        long[] made = new long[OBJECT_LIMIT];
        Harness.Untimed freeMade = n -> {
            for (int i = 0; i < n; i++) expectStatus(freer.XelDataFree(made[i]), "XelDataFree");
        };
        h.measure("native", "XelDataCreate", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) {
                s += maker.XelDataCreate(1);
                made[i] = maker.myXelReference;
            }
            return s;
        }, Harness.NOTHING, freeMade, OBJECT_LIMIT);
        h.measure("native", "XelDataCopy (rich object)", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) {
                s += maker.XelDataCopy(handle);
                made[i] = maker.myXelReference;
            }
            return s;
        }, Harness.NOTHING, freeMade, OBJECT_LIMIT);
        h.measure("native", "XelDataFree", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += freer.XelDataFree(made[i]);
            return s;
        }, n -> {
            for (int i = 0; i < n; i++) {
                expectStatus(maker.XelDataCreate(1), "XelDataCreate");
                made[i] = maker.myXelReference;
            }
        }, Harness.NOTHING, OBJECT_LIMIT);
        h.measure("native", "XelDataType", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelDataType(handle);
            return s;
        });
        h.measure("native", "XelGetLong", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelGetLong(handle, NUMBER);
            return s;
        });
        h.measure("native", "XelSetLong", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelSetLong(handle, NUMBER, i);
            return s;
        });
        h.measure("native", "XelSetDouble", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelSetDouble(handle, REAL, i * 0.5);
            return s;
        });
        h.measure("native", "XelGetListLength", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelGetListLength(handle, LIST);
            return s;
        });
        expect(o.XelGetListLength(handle, LIST) == 3, "XelGetListLength");
        h.measure("native", "XelAddListElement", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelAddListElement(handle, GROWING_LIST);
            return s;
        }, Harness.NOTHING, n -> {
            for (int i = n - 1; i >= 0; i--) {
                expect(o.XelDeleteListElement(handle, GROWING_LIST, i) == i, "delete");
            }
        }, OBJECT_LIMIT);
        h.measure("native", "XelDeleteListElement (last)", n -> {
            long s = 0;
            for (int i = n - 1; i >= 0; i--) s += o.XelDeleteListElement(handle, GROWING_LIST, i);
            return s;
        }, n -> {
            for (int i = 0; i < n; i++) {
                expect(o.XelAddListElement(handle, GROWING_LIST) == i, "add");
            }
        }, Harness.NOTHING, OBJECT_LIMIT);
        expectStatus(JXelObject.XelVersion(), "XelVersion");
        expect(JXelObject.ourVersion != null && !JXelObject.ourVersion.isEmpty(), "version text");
        h.measure("native", "XelVersion", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += JXelObject.XelVersion();
            return s;
        });
        JXelException exception = new JXelException(-1);
        expectStatus(exception.XelGetErrorMessage(-1), "XelGetErrorMessage");
        expect(exception.myXelDataString != null, "error text");
        h.measure("native", "XelGetErrorMessage", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += exception.XelGetErrorMessage(-1);
            return s;
        });
    }

    static void texts(Harness h, String label, String text) {
        JXelObject o = new JXelObject();
        expectStatus(o.XelDataCreate(1), "XelDataCreate");
        long handle = o.myXelReference;
        expectStatus(o.XelSetString(handle, TEXT, text), "XelSetString");
        expectStatus(o.XelGetString(handle, TEXT), "XelGetString");
        expect(text.equals(o.myXelDataString), "XelGetString reads back " + label);
        h.measure("native", "XelGetString " + label, n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelGetString(handle, TEXT);
            return s;
        });
        h.measure("native", "XelSetString " + label, n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelSetString(handle, TEXT, text);
            return s;
        });
        h.afterAll(() -> {
            expect(o.XelGetString(handle, TEXT) == 0 && text.equals(o.myXelDataString),
                    "text survives the bench");
            expectStatus(o.XelDataFree(handle), "XelDataFree");
        });
    }

    static void listTexts(Harness h, String label, String text) {
        JXelObject o = new JXelObject();
        long handle = richObject(o, text);
        expectStatus(o.XelGetListString(handle, LIST, 1, FIELD), "XelGetListString");
        expect(text.equals(o.myXelDataString), "XelGetListString reads back " + label);
        h.measure("native", "XelGetListString " + label, n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelGetListString(handle, LIST, 1, FIELD);
            return s;
        });
        h.measure("native", "XelSetListString " + label, n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += o.XelSetListString(handle, LIST, text, 1, FIELD);
            return s;
        });
        h.afterAll(() -> {
            expect(o.XelGetListString(handle, LIST, 1, FIELD) == 0
                    && text.equals(o.myXelDataString), "list text survives the bench");
            expectStatus(o.XelDataFree(handle), "XelDataFree");
        });
    }

    static void jna(Harness h, String path, String label, String text, boolean integers)
            throws Exception {
        AgentJna agent = AgentJna.load(path);
        AgentJnaDirect.register(path);
        long[] slot = new long[1];
        expectStatus(agent.xelagt_create_data_object(1, slot), "JNA create");
        long handle = slot[0];
        expectStatus(agent.xelagt_set_string_attribute(handle, TEXT, text), "JNA set string");
        expect(text.equals(agent.xelagt_get_string_attribute(handle, TEXT)),
                "JNA get string reads back " + label);
        expect(text.equals(AgentJnaDirect.xelagt_get_string_attribute(handle, TEXT)),
                "JNA direct get string reads back " + label);
        if (integers) {
            expectStatus(agent.xelagt_set_integer_attribute(handle, NUMBER, 4711), "JNA set int");
            expect(AgentJnaDirect.xelagt_get_integer_attribute(handle, NUMBER) == 4711,
                    "JNA get int");
            h.measure("jna", "get integer (interface)", n -> {
                long s = 0;
                for (int i = 0; i < n; i++) s += agent.xelagt_get_integer_attribute(handle, NUMBER);
                return s;
            });
            h.measure("jna", "get integer (direct)", n -> {
                long s = 0;
                for (int i = 0; i < n; i++) {
                    s += AgentJnaDirect.xelagt_get_integer_attribute(handle, NUMBER);
                }
                return s;
            });
            h.measure("jna", "set integer (interface)", n -> {
                long s = 0;
                for (int i = 0; i < n; i++) {
                    s += agent.xelagt_set_integer_attribute(handle, NUMBER, i);
                }
                return s;
            });
            h.measure("jna", "set integer (direct)", n -> {
                long s = 0;
                for (int i = 0; i < n; i++) {
                    s += AgentJnaDirect.xelagt_set_integer_attribute(handle, NUMBER, i);
                }
                return s;
            });
        }
        h.measure("jna", "get string " + label + " (interface)", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += agent.xelagt_get_string_attribute(handle, TEXT).length();
            return s;
        });
        h.measure("jna", "get string " + label + " (direct)", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) {
                s += AgentJnaDirect.xelagt_get_string_attribute(handle, TEXT).length();
            }
            return s;
        });
        h.measure("jna", "set string " + label + " (interface)", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) s += agent.xelagt_set_string_attribute(handle, TEXT, text);
            return s;
        });
        h.measure("jna", "set string " + label + " (direct)", n -> {
            long s = 0;
            for (int i = 0; i < n; i++) {
                s += AgentJnaDirect.xelagt_set_string_attribute(handle, TEXT, text);
            }
            return s;
        });
        h.afterAll(() -> {
            expect(text.equals(agent.xelagt_get_string_attribute(handle, TEXT)),
                    "JNA text survives");
            expectStatus(agent.xelagt_free_data_object(slot), "JNA free");
        });
    }

    static void scaling(Harness h) throws Exception {
        h.scaling("scaling", machineReference());
        h.scaling("scaling", new Harness.Scaled("XelGetLong 2 threads / 1", t -> {
            JXelObject o = new JXelObject();
            expectStatus(o.XelDataCreate(1), "XelDataCreate");
            long handle = o.myXelReference;
            expectStatus(o.XelSetLong(handle, NUMBER, t), "XelSetLong");
            return n -> {
                long s = 0;
                for (int i = 0; i < n; i++) s += o.XelGetLong(handle, NUMBER);
                return s;
            };
        }));
        h.scaling("scaling", new Harness.Scaled("XelSetString short ASCII 2 threads / 1", t -> {
            JXelObject o = new JXelObject();
            expectStatus(o.XelDataCreate(1), "XelDataCreate");
            long handle = o.myXelReference;
            String text = new String(SHORT_ASCII.toCharArray());
            return n -> {
                long s = 0;
                for (int i = 0; i < n; i++) s += o.XelSetString(handle, TEXT, text);
                return s;
            };
        }));
    }
}
