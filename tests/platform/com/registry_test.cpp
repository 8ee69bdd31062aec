// The registry file: persistence, case-insensitive keys, removal, damaged files, atomic saves.
#include "platform/com/registry.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/file_system.h"
#include "support/temp_home.h"

namespace pavo::com {
namespace {

TEST(Registry, ValuesSurviveReopeningAndKeysCompareCaseInsensitively) {
    testing::TempHome home;
    {
        Registry reg = Registry::open_current();
        reg.set_value("HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32", "",
                      "/path/with \"quotes\" \\ and\nline");
        reg.set_value("HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32", "ThreadingModel",
                      "Apartment");
        reg.create_key("HKEY_CLASSES_ROOT\\CLSID\\{X}\\Control");
    }
    EXPECT_EQ(Registry::current_path(), home.path() / "registry.txt");
    Registry reg = Registry::open_current();
    EXPECT_EQ(reg.get_value("hkey_classes_root\\clsid\\{x}\\inprocserver32"),
              "/path/with \"quotes\" \\ and\nline");
    EXPECT_EQ(reg.get_value("HKEY_CLASSES_ROOT\\CLSID\\{X}\\InprocServer32", "threadingmodel"),
              "Apartment");
    EXPECT_TRUE(reg.key_exists("HKEY_CLASSES_ROOT\\CLSID\\{X}\\Control"));
    EXPECT_FALSE(reg.get_value("HKEY_CLASSES_ROOT\\CLSID\\{X}\\Control"));
    EXPECT_EQ(reg.subkeys("HKEY_CLASSES_ROOT\\CLSID\\{X}"),
              (std::vector<std::string>{"Control", "InprocServer32"}));

    EXPECT_TRUE(reg.delete_tree("HKEY_CLASSES_ROOT\\clsid\\{x}"));
    EXPECT_FALSE(reg.delete_tree("HKEY_CLASSES_ROOT\\CLSID\\{X}"));
    EXPECT_FALSE(Registry::open_current().key_exists("HKEY_CLASSES_ROOT\\CLSID\\{X}"));
    EXPECT_TRUE(Registry::open_current().key_exists("HKEY_CLASSES_ROOT\\CLSID"));
}

TEST(Registry, DamagedFileIsReportedNotGuessedAt) {
    testing::TempHome home;
    for (const char* text : {"not a registry\n", "PAVODEN2 REGISTRY 1\n\"a\"=\"b\"\n",
                             "PAVODEN2 REGISTRY 1\n[K]\n\"a\"=\"unterminated\n",
                             "PAVODEN2 REGISTRY 1\n[K]\n@=\"x\" trailing\n"}) {
        write_file_atomically(Registry::current_path(), text);
        try {
            Registry reg = Registry::open_current();
            ADD_FAILURE() << "accepted: " << text;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::kCorruption) << text;
        }
    }
}

TEST(Registry, FailedSaveLeavesTheOldFileWhole) {
    testing::TempHome home;
    Registry::open_current().set_value("HKEY_CLASSES_ROOT\\A", "", "old");
    std::string before = read_whole_file(Registry::current_path());
    FaultyFileSystem faulty;
    faulty.fail_rename_call = 0;
    {
        ScopedFileSystem scope(&faulty);
        Registry reg = Registry::open_current();
        EXPECT_THROW(reg.set_value("HKEY_CLASSES_ROOT\\A", "", "new"), Error);
    }
    EXPECT_EQ(read_whole_file(Registry::current_path()), before);
    EXPECT_EQ(Registry::open_current().get_value("HKEY_CLASSES_ROOT\\A"), "old");
}

TEST(Registry, KeyNamesThatWouldBreakTheFileAreRefused) {
    testing::TempHome home;
    Registry reg = Registry::open_current();
    EXPECT_THROW(reg.create_key("HKEY_CLASSES_ROOT\\a]b"), Error);
    EXPECT_THROW(reg.create_key("HKEY_CLASSES_ROOT\\a\nb"), Error);
}

TEST(Host, ProgramIdentifiersLeadToTheClassAndUnregisteredClassesAreNamedSo) {
    testing::TempHome home;
    Registry reg = Registry::open_current();
    const std::string clsid = "{FFC3BFAE-12DC-4FF8-A56B-1651DF15D9A8}";
    reg.set_value("HKEY_CLASSES_ROOT\\Vendor.Thing.5\\CLSID", "", clsid);
    reg.set_value("HKEY_CLASSES_ROOT\\Vendor.Thing\\CurVer", "", "Vendor.Thing.5");
    Guid g;
    ASSERT_EQ(clsid_from_progid("Vendor.Thing", &g), S_OK);
    EXPECT_EQ(to_string(g), clsid);
    EXPECT_EQ(clsid_from_progid("Vendor.Other", &g), CO_E_CLASSSTRING);

    void* out = reinterpret_cast<void*>(1);
    std::string why;
    EXPECT_EQ(create_instance(g, IID_IDispatch, &out, &why), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(out, nullptr);
    EXPECT_NE(why.find("not registered"), std::string::npos);

    // A registered class whose server file is gone cannot be loaded.
    reg.set_value("HKEY_CLASSES_ROOT\\CLSID\\" + clsid + "\\InprocServer32", "",
                  (home.path() / "missing.so").string());
    EXPECT_EQ(create_instance(g, IID_IDispatch, &out, &why), CO_E_DLLNOTFOUND);
    EXPECT_EQ(register_server(home.path() / "missing.so"), CO_E_DLLNOTFOUND);

    // A damaged registry is not mistaken for a missing registration.
    write_file_atomically(Registry::current_path(), "garbage\n");
    EXPECT_EQ(create_instance(g, IID_IDispatch, &out, &why), REGDB_E_READREGDB);
    EXPECT_NE(why.find("damaged"), std::string::npos) << why;
}

}  // namespace
}  // namespace pavo::com
