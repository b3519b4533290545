// The file-backed registry: round trips through the file, the text it writes, hand-written and
// malformed files, and several processes writing one hive at once.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/registry.h"
#include "registry_fixture.h"

namespace ketra::platform::testing {
namespace {

constexpr Hive CU = Hive::CurrentUser;
constexpr const char* kOpts = "Software\\Corvane\\Rexx\\ExecOptions";

TEST_F(RegistryTest, StringDwordAndDefaultRoundTrip) {
    const std::string tricky = "C:\\Program Files\\Q \"quoted\" \\\\ end\\";
    ASSERT_TRUE(set_string(CU, kOpts, "Path", tricky));
    ASSERT_TRUE(set_dword(CU, kOpts, "TRACE_ON", 0x1f));
    ASSERT_TRUE(set_string(CU, kOpts, "", "the default"));
    ASSERT_TRUE(set_string(CU, kOpts, "Empty", ""));

    auto key = read_key(CU, kOpts);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->get_string("Path"), tricky);
    EXPECT_EQ(key->get_dword("TRACE_ON"), 0x1fu);
    EXPECT_EQ(key->get_string(""), "the default");
    EXPECT_EQ(key->get_string("Empty"), "");
    EXPECT_EQ(key->get_dword("Path"), std::nullopt);  // wrong type
    EXPECT_EQ(key->get_string("Missing"), std::nullopt);

    auto v = query_value(CU, kOpts, "trace_on");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, ValueType::Dword);
    EXPECT_EQ(v->dword, 0x1fu);
    EXPECT_EQ(v->name, "TRACE_ON");

    // Replacing keeps the place and the first spelling of the name.
    ASSERT_TRUE(set_dword(CU, kOpts, "trace_ON", 0));
    key = read_key(CU, kOpts);
    ASSERT_TRUE(key);
    ASSERT_EQ(key->values.size(), 4u);
    ASSERT_TRUE(key->find("trace_on"));
    EXPECT_EQ(key->find("trace_on")->name, "TRACE_ON");
    EXPECT_EQ(key->find("trace_on")->dword, 0u);

    EXPECT_FALSE(query_value(CU, kOpts, "nothing"));
    EXPECT_EQ(registry_error(), ENOENT);
    EXPECT_FALSE(query_value(CU, "Software\\Nowhere", "x"));
    EXPECT_EQ(registry_error(), ENOENT);
}

TEST_F(RegistryTest, FileTextIsRegeditFormat) {
    ASSERT_TRUE(set_string(CU, kOpts, "Path", "C:\\a \"b\""));
    ASSERT_TRUE(set_dword(CU, kOpts, "TRACE_ON", 31));
    ASSERT_TRUE(set_string(CU, kOpts, "", "dflt"));
    ASSERT_TRUE(set_binary(CU, "Software\\B", "Bin", std::string("\x01\x00\xff", 3)));
    EXPECT_EQ(file_text(),
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\B]\n"
              "\"Bin\"=hex:01,00,ff\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Corvane]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Corvane\\Rexx]\n"
              "\n"
              "[HKEY_CURRENT_USER\\Software\\Corvane\\Rexx\\ExecOptions]\n"
              "@=\"dflt\"\n"
              "\"Path\"=\"C:\\\\a \\\"b\\\"\"\n"
              "\"TRACE_ON\"=dword:0000001f\n"
              "\n");
    // Each hive has its own file; the lock file is separate from the data file.
    ASSERT_TRUE(set_dword(Hive::LocalMachine, "Software\\M", "x", 1));
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/HKEY_LOCAL_MACHINE.reg"));
    EXPECT_TRUE(std::filesystem::exists(dir_ + "/HKEY_CURRENT_USER.reg.lock"));
    EXPECT_NE(file_text(Hive::LocalMachine).find("[HKEY_LOCAL_MACHINE\\Software\\M]\n\"x\"="),
              std::string::npos);
    EXPECT_FALSE(query_value(Hive::ClassesRoot, "Software\\M", "x"));
}

TEST_F(RegistryTest, KeysCompareWithoutCaseAndKeepFirstSpelling) {
    ASSERT_TRUE(create_key(CU, "Software\\Corvane"));
    ASSERT_TRUE(set_dword(CU, "SOFTWARE\\corvane\\Rexx\\\\ExecOptions\\", "GlobalSCBs", 0));
    EXPECT_NE(file_text().find("[HKEY_CURRENT_USER\\Software\\Corvane\\Rexx\\ExecOptions]"),
              std::string::npos);
    EXPECT_EQ(file_text().find("SOFTWARE"), std::string::npos);
    auto key = read_key(CU, "software\\CORVANE\\rexx\\execoptions");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->path, kOpts);
    EXPECT_EQ(key->get_dword("globalscbs"), 0u);
    EXPECT_TRUE(key_exists(CU, "\\Software\\CORVANE\\"));
    EXPECT_FALSE(key_exists(CU, "Software\\Corvane2"));
}

TEST_F(RegistryTest, DeleteValueAndKeyWithSubkeys) {
    ASSERT_TRUE(set_dword(CU, "Software\\A\\B\\C", "c", 3));
    ASSERT_TRUE(set_dword(CU, "Software\\A\\B", "b", 2));
    ASSERT_TRUE(set_dword(CU, "Software\\A B", "sibling", 1));
    ASSERT_TRUE(set_dword(CU, "Software\\AB", "other", 1));

    EXPECT_TRUE(delete_value(CU, "software\\a\\b", "B"));
    EXPECT_FALSE(query_value(CU, "Software\\A\\B", "b"));
    EXPECT_FALSE(delete_value(CU, "Software\\A\\B", "b"));
    EXPECT_EQ(registry_error(), ENOENT);
    EXPECT_FALSE(delete_value(CU, "Software\\None", "b"));
    EXPECT_EQ(registry_error(), ENOENT);

    EXPECT_TRUE(delete_key(CU, "SOFTWARE\\A"));
    EXPECT_FALSE(key_exists(CU, "Software\\A"));
    EXPECT_FALSE(key_exists(CU, "Software\\A\\B\\C"));
    EXPECT_TRUE(key_exists(CU, "Software\\A B"));
    EXPECT_TRUE(key_exists(CU, "Software\\AB"));
    EXPECT_EQ(file_text().find("Software\\A\\"), std::string::npos);
    EXPECT_FALSE(delete_key(CU, "Software\\A"));
    EXPECT_EQ(registry_error(), ENOENT);
}

TEST_F(RegistryTest, Enumeration) {
    ASSERT_TRUE(create_key(CU, "Software\\Zeta"));
    ASSERT_TRUE(create_key(CU, "Software\\alpha\\Deep"));
    ASSERT_TRUE(create_key(CU, "Software\\Beta"));
    ASSERT_TRUE(set_string(CU, "Software\\Beta", "second", "2"));
    ASSERT_TRUE(set_string(CU, "Software\\Beta", "first", "1"));

    auto subs = enum_subkeys(CU, "software");
    ASSERT_TRUE(subs);
    EXPECT_EQ(*subs, (std::vector<std::string>{"alpha", "Beta", "Zeta"}));
    auto top = enum_subkeys(CU, "");
    ASSERT_TRUE(top);
    EXPECT_EQ(*top, std::vector<std::string>{"Software"});
    auto none = enum_subkeys(CU, "Software\\Zeta");
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
    EXPECT_FALSE(enum_subkeys(CU, "Software\\Gamma"));
    EXPECT_EQ(registry_error(), ENOENT);

    auto values = enum_values(CU, "Software\\Beta");
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), 2u);
    EXPECT_EQ((*values)[0].name, "second");  // the order they were set in
    EXPECT_EQ((*values)[1].name, "first");
}

TEST_F(RegistryTest, BinaryOtherTypesAndLineBreaksSurvive) {
    std::string bytes;
    for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<char>(i * 7));
    ASSERT_TRUE(set_binary(CU, "K", "Bin", bytes));
    ASSERT_TRUE(set_value(
        CU, "K", RegistryValue::make_raw("Exp", kRegExpandSz, std::string_view("%\0\0\0", 4))));
    ASSERT_TRUE(set_string(CU, "K", "Lines", std::string_view("one\r\ntwo\nthree\0four", 19)));
    const std::string odd = std::string("\xff\xfe bad utf8 \xc3\x28\n\xe2\x82\xac", 18);
    ASSERT_TRUE(set_string(CU, "K", "Odd", odd));

    auto key = read_key(CU, "K");
    ASSERT_TRUE(key);
    const RegistryValue* bin = key->find("Bin");
    ASSERT_TRUE(bin);
    EXPECT_EQ(bin->type, ValueType::Binary);
    EXPECT_EQ(bin->data, bytes);
    const RegistryValue* exp = key->find("exp");
    ASSERT_TRUE(exp);
    EXPECT_EQ(exp->type, ValueType::Other);
    EXPECT_EQ(exp->raw_type, kRegExpandSz);
    EXPECT_EQ(exp->data, std::string("%\0\0\0", 4));
    EXPECT_EQ(key->get_string("Lines"), std::string("one\r\ntwo\nthree\0four", 19));
    EXPECT_EQ(key->get_string("Odd"), odd);

    // Every line of the file is a line of the format: long hex wraps with a trailing backslash.
    std::string text = file_text();
    EXPECT_NE(text.find("\"Exp\"=hex(2):25,00,00,00\n"), std::string::npos);
    EXPECT_NE(text.find("\"Lines\"=hex(1):6f,00,6e,00,65,00,0d,00,0a,00"), std::string::npos);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        ASSERT_NE(nl, std::string::npos);
        EXPECT_LE(nl - start, 80u) << text.substr(start, nl - start);
        start = nl + 1;
    }
}

TEST_F(RegistryTest, ReadsHandWrittenFile) {
    write_file(
        "\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; a comment\r\n"
        "[HKEY_CURRENT_USER\\Software\\Corvane\\Rexx\\ExecOptions]\r\n"
        "\"TRACE_ON\"=dword:0\r\n"
        "\"HaltCheckPercent\"=\"50\"\r\n"
        "@=\"def\"\r\n"
        "\"Path\"=\"C:\\Temp\\\"x\\\"\"\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  03,04\r\n"
        "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
        "\"D4\"=hex(4):2a,00,00,00\r\n"
        "\"Gone\"=-\r\n"
        "\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Old]\r\n"
        "\"x\"=\"ignored\"\r\n"
        "[HKCU\\Software\\Short]\r\n"
        "\"s\"=\"1\"\r\n");
    auto key = read_key(CU, kOpts);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->get_dword("TRACE_ON"), 0u);
    EXPECT_EQ(key->get_string("HaltCheckPercent"), "50");
    EXPECT_EQ(key->get_string(""), "def");
    EXPECT_EQ(key->get_string("Path"), "C:\\Temp\"x\"");  // a lone backslash stays as written
    ASSERT_TRUE(key->find("Blob"));
    EXPECT_EQ(key->find("Blob")->data, "\x01\x02\x03\x04");
    ASSERT_TRUE(key->find("Q"));
    EXPECT_EQ(key->find("Q")->type, ValueType::Other);
    EXPECT_EQ(key->find("Q")->raw_type, kRegQword);
    EXPECT_EQ(key->get_dword("D4"), 42u);
    EXPECT_FALSE(key->find("Gone"));
    EXPECT_EQ(key->values.size(), 7u);
    EXPECT_FALSE(key_exists(CU, "Software\\Old"));
    EXPECT_EQ(query_value(CU, "Software\\Short", "s")->data, "1");
    // Parents of a section exist even without a section of their own.
    auto subs = enum_subkeys(CU, "Software\\Corvane");
    ASSERT_TRUE(subs);
    EXPECT_EQ(*subs, std::vector<std::string>{"Rexx"});
}

TEST_F(RegistryTest, ReadsUtf16File) {
    std::string narrow =
        "Windows Registry Editor Version "
        "5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\"=\"\xc3\xa9\"\r\n";
    // U+00E9 as one UTF-16 unit; the rest is ASCII.
    std::string wide = "\xff\xfe";
    for (std::size_t i = 0; i < narrow.size(); ++i) {
        if (narrow[i] == '\xc3') {
            wide += std::string("\xe9\x00", 2);
            ++i;
            continue;
        }
        wide.push_back(narrow[i]);
        wide.push_back('\0');
    }
    write_file(wide);
    auto v = query_value(CU, "K", "v");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->data, "\xc3\xa9");
}

TEST_F(RegistryTest, MalformedFileKeepsGoodLines) {
    const std::string bad =
        "Windows Registry Editor Version 5.00\n"
        "\"orphan\"=\"before any section\"\n"
        "[HKEY_CURRENT_USER\\Good]\n"
        "\"a\"=\"1\"\n"
        "\"unterminated=\"x\n"
        "\"b\"=dword:xyz\n"
        "\"c\"=dword:123456789\n"
        "\"d\"=hex:01,zz\n"
        "\"e\"=\"trailing\" junk\n"
        "garbage line\n"
        "[HKEY_CURRENT_USER\\Unclosed\n"
        "[HKEY_LOCAL_MACHINE\\WrongHive]\n"
        "\"w\"=\"x\"\n"
        "[HKEY_CURRENT_USER\\Good\\Sub]\n" +
        std::string("\x01\x02\0\x03\n", 5) +
        "\"f\"=dword:00000002\n"
        "\"g\"=\"unterminated\n";
    write_file(bad);
    int bad_lines = 0;
    HiveData parsed = HiveData::parse(CU, bad, std::nullopt, &bad_lines);
    EXPECT_EQ(bad_lines, 12);

    auto good = read_key(CU, "Good");
    ASSERT_TRUE(good);
    ASSERT_EQ(good->values.size(), 1u);
    EXPECT_EQ(good->get_string("a"), "1");
    EXPECT_EQ(query_value(CU, "Good\\Sub", "f")->dword, 2u);
    EXPECT_FALSE(key_exists(CU, "WrongHive"));

    // A write keeps every good value, and the original is kept beside it.
    ASSERT_TRUE(set_dword(CU, "Good", "new", 9));
    EXPECT_EQ(query_value(CU, "Good", "a")->data, "1");
    EXPECT_EQ(query_value(CU, "Good\\Sub", "f")->dword, 2u);
    EXPECT_EQ(query_value(CU, "Good", "new")->dword, 9u);
    std::ifstream bak(hive_file(CU) + ".bak", std::ios::binary);
    std::stringstream ss;
    ss << bak.rdbuf();
    EXPECT_EQ(ss.str(), bad);
    int bad_after = -1;
    HiveData::parse(CU, file_text(), std::nullopt, &bad_after);
    EXPECT_EQ(bad_after, 0);
}

TEST_F(RegistryTest, MissingFolderIsAnEmptyHiveAndReadsCreateNothing) {
    EXPECT_FALSE(read_key(CU, kOpts));
    EXPECT_EQ(registry_error(), ENOENT);
    auto root = read_key(CU, "");
    ASSERT_TRUE(root);
    EXPECT_TRUE(root->values.empty());
    EXPECT_FALSE(std::filesystem::exists(dir_));
    // An update that changes nothing writes nothing.
    EXPECT_FALSE(delete_value(CU, kOpts, "x"));
    EXPECT_FALSE(std::filesystem::exists(hive_file(CU)));
    ASSERT_TRUE(create_key(CU, kOpts));
    EXPECT_TRUE(key_exists(CU, kOpts));
}

TEST_F(RegistryTest, UnreadableFileIsNeverOverwritten) {
    ASSERT_TRUE(set_dword(CU, "K", "keep", 1));
    std::string before = file_text();
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(hive_file(CU).c_str(), 0), 0);
        EXPECT_FALSE(set_dword(CU, "K", "other", 2));
        EXPECT_EQ(registry_error(), EACCES);
        EXPECT_FALSE(read_key(CU, "K"));
        EXPECT_EQ(registry_error(), EACCES);
        ASSERT_EQ(chmod(hive_file(CU).c_str(), 0600), 0);
        EXPECT_EQ(file_text(), before);
    }
    // A hive path that cannot be read as a file (here: a folder) fails reads and writes alike.
    std::filesystem::path lm = hive_file(Hive::LocalMachine);
    std::filesystem::create_directories(lm / "inside");
    EXPECT_FALSE(set_dword(Hive::LocalMachine, "K", "x", 1));
    EXPECT_EQ(registry_error(), EISDIR);
    EXPECT_FALSE(load_hive(Hive::LocalMachine));
    EXPECT_TRUE(std::filesystem::exists(lm / "inside"));
}

TEST_F(RegistryTest, UpdateChangesSeveralValuesAtOnceAndSurvivesThrow) {
    ASSERT_TRUE(update(CU, [](HiveData& d) {
        RegistryKey& k = d.create_key(kOpts);
        k.set(RegistryValue::make_dword("TRACE_ON", 1));
        k.set(RegistryValue::make_string("BoundsMessages", "1"));
        d.create_key("Software\\Other").set(RegistryValue::make_dword("x", 5));
    }));
    std::string before = file_text();
    EXPECT_FALSE(update(CU, [](HiveData& d) {
        d.delete_key("Software");
        throw 42;
    }));
    EXPECT_EQ(registry_error(), ECANCELED);
    EXPECT_EQ(file_text(), before);
    auto data = load_hive(CU);
    ASSERT_TRUE(data);
    ASSERT_TRUE(data->find_key(kOpts));
    EXPECT_EQ(data->find_key(kOpts)->get_string("BoundsMessages"), "1");
    EXPECT_EQ(data->find_key("software\\other")->get_dword("X"), 5u);
}

TEST_F(RegistryTest, ReadKeyParsesOnlyItsSection) {
    HiveData d = HiveData::parse(CU,
                                 "[HKEY_CURRENT_USER\\A]\n\"a\"=\"1\"\n"
                                 "[HKEY_CURRENT_USER\\B\\C]\n\"c\"=\"3\"\n",
                                 std::string_view("b"));
    EXPECT_TRUE(d.find_key("B"));  // exists through its subkey
    EXPECT_TRUE(d.find_key("B")->values.empty());
    EXPECT_FALSE(d.find_key("A"));
}

TEST(RegistryPaths, RootFollowsEnvironment) {
    std::string saved = std::getenv("KETRA_REGISTRY");
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string saved_xdg = xdg ? xdg : "";
    EXPECT_EQ(hive_file(Hive::ClassesRoot), saved + "/HKEY_CLASSES_ROOT.reg");
    unsetenv("KETRA_REGISTRY");
    setenv("XDG_CONFIG_HOME", "/x/cfg", 1);
    EXPECT_EQ(registry_root(), "/x/cfg/ketra/registry");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", std::getenv("HOME") ? std::getenv("HOME") : "/h", 1);
    EXPECT_EQ(registry_root(), std::string(std::getenv("HOME")) + "/.config/ketra/registry");
    if (xdg) setenv("XDG_CONFIG_HOME", saved_xdg.c_str(), 1);
    setenv("KETRA_REGISTRY", saved.c_str(), 1);
}

// Several processes, one update per value, all into one key of one hive: nothing may get lost,
// and a reader never sees half a file.
TEST_F(RegistryTest, ConcurrentProcessesLoseNothing) {
    constexpr int kChildren = 3;
    constexpr int kValues = 200;
    ASSERT_TRUE(create_key(CU, "Software\\Race"));
    std::vector<pid_t> pids;
    for (int c = 0; c < kChildren; ++c) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < kValues; ++i) {
                std::string name = "c" + std::to_string(c) + "_" + std::to_string(i);
                if (!set_dword(CU, "Software\\Race", name, static_cast<std::uint32_t>(i)))
                    ++failures;
            }
            _exit(failures == 0 ? 0 : 1);
        }
        pids.push_back(pid);
    }
    // Read while they write: every snapshot must be a whole file.
    std::vector<int> status(pids.size(), -1);
    int torn = 0;
    for (std::size_t left = pids.size(); left > 0;) {
        for (std::size_t i = 0; i < pids.size(); ++i) {
            if (status[i] != -1) continue;
            int st = 0;
            if (waitpid(pids[i], &st, WNOHANG) == pids[i]) {
                status[i] = st;
                --left;
            }
        }
        std::string text = file_text();
        int bad = 0;
        HiveData::parse(CU, text, std::nullopt, &bad);
        if (bad != 0 || text.find("[HKEY_CURRENT_USER\\Software\\Race]") == std::string::npos)
            ++torn;
    }
    EXPECT_EQ(torn, 0);
    for (int st : status) {
        EXPECT_TRUE(WIFEXITED(st));
        EXPECT_EQ(WEXITSTATUS(st), 0);
    }
    auto key = read_key(CU, "Software\\Race");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->values.size(), static_cast<std::size_t>(kChildren * kValues));
    for (int c = 0; c < kChildren; ++c)
        for (int i = 0; i < kValues; ++i)
            EXPECT_EQ(key->get_dword("c" + std::to_string(c) + "_" + std::to_string(i)),
                      static_cast<std::uint32_t>(i));
}

}  // namespace
}  // namespace ketra::platform::testing
