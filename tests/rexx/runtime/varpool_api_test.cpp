// RexxVariablePool against a simulated running program: set, fetch and drop by direct and
// symbolic names, the buffer rules, enumeration order, private names, and the answers when no
// program runs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/lock.h"
#include "rexx/host/testing_hooks.h"
#include "rexx/runtime/activation.h"
#include "rexx/runtime/interp.h"
#include "rexx/runtime/interp_ports.h"
#include "rexx/runtime/variables.h"
#include "rexx/translate/program.h"
#include "rexxsaa.h"
#include "support/rexx_test.h"

namespace ketra::test {
namespace {

class VarPoolApiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ensure_library_started();
        inst_.state = kStateExecuting;
        inst_.program_name = name_;
        inst_.program = make_program();
        act_.argc = 2;
        args_[0] = make_value("first", 5, true);
        args_[1] = kAbsentValue;
        act_.args = args_;
        vars_open_program(&act_);
        interp_.inst = &inst_;
        interp_.act = &act_;
        set_current_interp(&interp_);
        platform::ApiLockGuard lock;
        TaskEntry* e = find_or_create_task(current_thread_id());
        e->outermost = &inst_;
        e->active = 1;
    }
    void TearDown() override {
        {
            platform::ApiLockGuard lock;
            TaskEntry* e = find_task(current_thread_id());
            e->outermost = nullptr;
            e->active = 0;
        }
        set_current_interp(nullptr);
        vars_close(&act_);
        release(args_[0]);
        inst_.program.reset();
    }

    // One request with a name and (for SET) a value; value buffer of `cap` bytes, or a null
    // pointer for cap < 0.
    struct Req {
        SHVBLOCK b{};
        std::string name, value;
        std::vector<char> buf;
        std::string got() const { return std::string(b.shvvalue.strptr, b.shvvaluelen); }
    };
    static void prepare(Req& r, int code, const std::string& name, const std::string& value = "",
                        int cap = 64) {
        r.name = name;
        r.value = value;
        r.b.shvcode = static_cast<UCHAR>(code);
        MAKERXSTRING(r.b.shvname, r.name.data(), r.name.size());
        if (code == RXSHV_SET || code == RXSHV_SYSET) {
            MAKERXSTRING(r.b.shvvalue, r.value.data(), r.value.size());
        } else if (cap >= 0) {
            r.buf.assign(static_cast<std::size_t>(cap), '\0');
            MAKERXSTRING(r.b.shvvalue, r.buf.data(), r.buf.size());
        }
    }
    LONG one(Req& r) { return RexxVariablePool(&r.b); }

    char name_[16] = "host.rex";
    ExecInstance inst_{};
    Activation act_{};
    Value args_[2];
    Interp interp_{};
};

TEST_F(VarPoolApiTest, SetFetchDropWithDirectAndSymbolicNames) {
    Req set, fetch;
    prepare(set, RXSHV_SET, "ABC", "value of abc");
    EXPECT_EQ(one(set), 0);
    prepare(fetch, RXSHV_FETCH, "ABC");
    EXPECT_EQ(one(fetch), 0);
    EXPECT_EQ(fetch.got(), "value of abc");

    Req lower;
    prepare(lower, RXSHV_FETCH, "abc");
    EXPECT_EQ(one(lower), RXSHV_BADN);
    EXPECT_EQ(lower.b.shvret, RXSHV_BADN);
    Req sy;
    prepare(sy, RXSHV_SYFET, "abc");
    EXPECT_EQ(one(sy), 0);
    EXPECT_EQ(sy.got(), "value of abc");

    Req drop, again;
    prepare(drop, RXSHV_DROPV, "ABC");
    EXPECT_EQ(one(drop), 0);
    prepare(again, RXSHV_FETCH, "ABC");
    EXPECT_EQ(one(again), RXSHV_NEWV);
    EXPECT_EQ(again.got(), "ABC");
}

TEST_F(VarPoolApiTest, BufferRules) {
    Req set, small, none;
    prepare(set, RXSHV_SET, "V", "12345");
    one(set);
    prepare(small, RXSHV_FETCH, "V", "", 2);
    EXPECT_EQ(one(small), RXSHV_TRUNC);
    EXPECT_EQ(small.b.shvvaluelen, 2u);
    EXPECT_EQ(small.got(), "12");
    prepare(none, RXSHV_FETCH, "V", "", -1);
    EXPECT_EQ(one(none), 0);
    ASSERT_NE(none.b.shvvalue.strptr, nullptr);
    EXPECT_EQ(none.got(), "12345");
    RexxFreeMemory(none.b.shvvalue.strptr);
}

TEST_F(VarPoolApiTest, ChainsOrTheFlagsAndEnumerateInOrder) {
    Req a, b, c, d;
    prepare(a, RXSHV_SET, "BB", "2");
    prepare(b, RXSHV_SET, "A", "1");
    prepare(c, RXSHV_SET, "S.XY", "sxy");
    prepare(d, RXSHV_SET, "S.Z", "sz");
    a.b.shvnext = &b.b;
    b.b.shvnext = &c.b;
    c.b.shvnext = &d.b;
    EXPECT_EQ(RexxVariablePool(&a.b), 0);

    std::vector<std::string> seen;
    for (int i = 0; i < 6; ++i) {
        Req n;
        n.b.shvcode = RXSHV_NEXTV;
        char nb[32], vb[32];
        MAKERXSTRING(n.b.shvname, nb, sizeof nb);
        MAKERXSTRING(n.b.shvvalue, vb, sizeof vb);
        LONG rc = RexxVariablePool(&n.b);
        if (rc == RXSHV_LVAR) {
            seen.push_back("<end>");
            break;
        }
        seen.push_back(std::string(nb, n.b.shvnamelen) + "=" + std::string(vb, n.b.shvvaluelen));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"A=1", "BB=2", "S.Z=sz", "S.XY=sxy", "<end>"}));
}

TEST_F(VarPoolApiTest, PrivateNames) {
    Req parm, p1, p2, p9, p0, q, v, bad;
    prepare(parm, RXSHV_PRIV, "parm");
    EXPECT_EQ(one(parm), 0);
    EXPECT_EQ(parm.got(), "2");
    prepare(p1, RXSHV_PRIV, "PARM.1");
    one(p1);
    EXPECT_EQ(p1.got(), "first");
    prepare(p2, RXSHV_PRIV, "PARM.2");
    EXPECT_EQ(one(p2), 0);
    EXPECT_EQ(p2.got(), "");
    prepare(p9, RXSHV_PRIV, "PARM.9");
    EXPECT_EQ(one(p9), 0);
    EXPECT_EQ(p9.got(), "");
    // BADF is reported in the block only: the result ORs the low six bits of the flags.
    prepare(p0, RXSHV_PRIV, "PARM.0");
    EXPECT_EQ(one(p0), 0);
    EXPECT_EQ(p0.b.shvret, RXSHV_BADF);
    prepare(q, RXSHV_PRIV, "QueName");
    one(q);
    EXPECT_EQ(q.got(), "SESSION");
    prepare(v, RXSHV_PRIV, "VERSION");
    one(v);
    EXPECT_EQ(v.got(), "REXX/Corvane 4.0 26 Feb 1995");
    prepare(bad, RXSHV_PRIV, "SOMETHINGLONGERTHAN19");
    one(bad);
    EXPECT_EQ(bad.b.shvret, RXSHV_BADF);
    Req code;
    prepare(code, 42, "X");
    one(code);
    EXPECT_EQ(code.b.shvret, RXSHV_BADF);
}

TEST_F(VarPoolApiTest, LongDerivedNameIsBadName) {
    Req set, sy;
    prepare(set, RXSHV_SET, "T", std::string(249, 'x'));
    one(set);
    prepare(sy, RXSHV_SYFET, "S.T");
    EXPECT_EQ(one(sy), RXSHV_BADN);
    Req huge;
    prepare(huge, RXSHV_FETCH, std::string(100000, 'A'));
    EXPECT_EQ(one(huge), RXSHV_BADN);
}

TEST_F(VarPoolApiTest, ErrorWhileServingStopsTheChainWithMinus2) {
    Req early_set, first, failing, after;
    prepare(early_set, RXSHV_SET, "EARLY", "set before the failure");
    one(early_set);
    prepare(first, RXSHV_FETCH, "EARLY");
    prepare(failing, RXSHV_SET, "A_NEW_VARIABLE", std::string(40, 'v'));
    prepare(after, RXSHV_SET, "LATE", "never set");
    first.b.shvnext = &failing.b;
    failing.b.shvnext = &after.b;
    after.b.shvret = 0x55;
    // The fetch into the caller's buffer needs no memory; the new variable does.
    testing::fail_allocations_after(0);
    LONG rc = RexxVariablePool(&first.b);
    testing::fail_allocations_after(-1);
    EXPECT_EQ(rc, -2);
    EXPECT_EQ(first.b.shvret, 0);
    EXPECT_EQ(first.got(), "set before the failure");
    EXPECT_EQ(after.b.shvret, 0x55);  // not reached
    Req late;
    prepare(late, RXSHV_FETCH, "LATE");
    EXPECT_EQ(one(late), RXSHV_NEWV);
}

TEST_F(VarPoolApiTest, BadNamesGiveBadnNeverACrash) {
    std::vector<std::string> bad = {"",
                                    "a",
                                    "Ab",
                                    "1X",
                                    ".X",
                                    "A-B",
                                    "A B",
                                    std::string("A\0B", 3),
                                    std::string(251, 'A'),
                                    std::string(100000, 'Z'),
                                    "\xff"};
    for (int code : {RXSHV_SET, RXSHV_FETCH, RXSHV_DROPV}) {
        for (const std::string& name : bad) {
            Req r;
            prepare(r, code, name, "v");
            EXPECT_EQ(one(r), RXSHV_BADN) << code << " " << name.size();
        }
    }
    for (const char* name : {"", "a-b", "a b", "x.y z", "\xff"}) {
        Req r;
        prepare(r, RXSHV_SYFET, name);
        EXPECT_EQ(one(r), RXSHV_BADN) << name;
    }
    SHVBLOCK null_name{};  // a null name pointer
    null_name.shvcode = RXSHV_FETCH;
    EXPECT_EQ(RexxVariablePool(&null_name), RXSHV_BADN);
    // A direct name's tail is taken as it is, whatever it holds.
    Req odd, back;
    prepare(odd, RXSHV_SET, std::string("S.a b\0\xff", 7), "odd tail");
    EXPECT_EQ(one(odd), 0);
    prepare(back, RXSHV_FETCH, std::string("S.a b\0\xff", 7));
    EXPECT_EQ(one(back), 0);
    EXPECT_EQ(back.got(), "odd tail");
}

TEST_F(VarPoolApiTest, SymbolicNamesSubstituteAndStemsSetDefaults) {
    Req i, syset, fetch, stem, other, sydro, gone;
    prepare(i, RXSHV_SET, "I", "3");
    one(i);
    prepare(syset, RXSHV_SYSET, "a.i", "a three");
    EXPECT_EQ(one(syset), 0);
    prepare(fetch, RXSHV_FETCH, "A.3");
    EXPECT_EQ(one(fetch), 0);
    EXPECT_EQ(fetch.got(), "a three");
    prepare(stem, RXSHV_SET, "A.", "dflt");  // resets A.3 as well
    one(stem);
    prepare(other, RXSHV_FETCH, "A.anything at all");
    EXPECT_EQ(one(other), 0);
    EXPECT_EQ(other.got(), "dflt");
    prepare(sydro, RXSHV_SYDRO, "A.I");
    EXPECT_EQ(one(sydro), 0);
    prepare(gone, RXSHV_FETCH, "A.3");  // dropped on its own: no default, the name comes back
    EXPECT_EQ(one(gone), RXSHV_NEWV);
    EXPECT_EQ(gone.got(), "A.3");
}

TEST_F(VarPoolApiTest, NextvBufferRulesAndRestart) {
    Req set;
    prepare(set, RXSHV_SET, "LONGNAME", "a value of some length");
    one(set);
    // Null pointers: blocks are allocated for the name and the value.
    SHVBLOCK n{};
    n.shvcode = RXSHV_NEXTV;
    EXPECT_EQ(RexxVariablePool(&n), 0);
    ASSERT_NE(n.shvname.strptr, nullptr);
    ASSERT_NE(n.shvvalue.strptr, nullptr);
    EXPECT_EQ(std::string(n.shvname.strptr, n.shvnamelen), "LONGNAME");
    EXPECT_EQ(std::string(n.shvvalue.strptr, n.shvvaluelen), "a value of some length");
    RexxFreeMemory(n.shvname.strptr);
    RexxFreeMemory(n.shvvalue.strptr);
    SHVBLOCK end{};
    end.shvcode = RXSHV_NEXTV;
    char nb[4], vb[4];
    MAKERXSTRING(end.shvname, nb, sizeof nb);
    MAKERXSTRING(end.shvvalue, vb, sizeof vb);
    EXPECT_EQ(RexxVariablePool(&end), RXSHV_LVAR);
    // After the end the enumeration starts again; short buffers truncate name and value.
    SHVBLOCK again = end;
    EXPECT_EQ(RexxVariablePool(&again), RXSHV_TRUNC);
    EXPECT_EQ(again.shvnamelen, 4u);
    EXPECT_EQ(std::string(nb, 4), "LONG");
    EXPECT_EQ(again.shvvaluelen, 4u);
    // Any other request restarts it too.
    Req fetch;
    prepare(fetch, RXSHV_FETCH, "LONGNAME");
    one(fetch);
    SHVBLOCK first = end;
    EXPECT_EQ(RexxVariablePool(&first), RXSHV_TRUNC);
    EXPECT_EQ(std::string(nb, 4), "LONG");
}

TEST_F(VarPoolApiTest, EnumerationFollowsExposedStems) {
    Req s1, s2, x;
    prepare(s1, RXSHV_SET, "S.1", "one");
    prepare(s2, RXSHV_SET, "S.2", "two");
    prepare(x, RXSHV_SET, "X", "caller's x");
    one(s1);
    one(s2);
    one(x);
    // A routine with PROCEDURE EXPOSE S. becomes the current activation.
    SymbolEntry e{};
    e.name = make_value("S.", 2, true);
    e.kind = kSymbolStem;
    inst_.program->symbols.push_back(e);
    ExecInstance* saved = g_lib.current;
    g_lib.current = &inst_;
    Activation routine{};
    routine.caller = &act_;
    routine.scope = act_.scope;
    var_procedure(&routine);
    var_expose(&routine, static_cast<std::uint16_t>(inst_.program->symbols.size() - 1));
    g_lib.current = saved;
    interp_.act = &routine;
    std::vector<std::string> seen;
    while (true) {
        SHVBLOCK n{};
        n.shvcode = RXSHV_NEXTV;
        char nb[32], vb[32];
        MAKERXSTRING(n.shvname, nb, sizeof nb);
        MAKERXSTRING(n.shvvalue, vb, sizeof vb);
        if (RexxVariablePool(&n) == RXSHV_LVAR) break;
        seen.push_back(std::string(nb, n.shvnamelen) + "=" + std::string(vb, n.shvvaluelen));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"S.1=one", "S.2=two"}));
    interp_.act = &act_;
    vars_close(&routine);
}

TEST_F(VarPoolApiTest, NoRunningProgramAnswers144) {
    inst_.state = kStateTranslating;  // the run is not executing
    Req r;
    prepare(r, RXSHV_FETCH, "X");
    EXPECT_EQ(one(r), RXSHV_NOAVL);
    inst_.state = kStateExecuting;
    interp_.act = nullptr;  // no current activation
    EXPECT_EQ(one(r), RXSHV_NOAVL);
    interp_.act = &act_;
}

TEST(VarPoolApiNoProgram, Answers144) {
    SHVBLOCK b{};
    b.shvcode = RXSHV_FETCH;
    MAKERXSTRING(b.shvname, const_cast<char*>("X"), 1);
    EXPECT_EQ(RexxVariablePool(&b), RXSHV_NOAVL);
}

}  // namespace
}  // namespace ketra::test
