#include "core/settings_registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "TK/tk_reg_key.h"
#include "test_support/config_home.h"

namespace {

class settings_registry_test : public ::testing::Test {
  protected:
    tk_reg_key open_key() {
        tk_reg_key key;
        EXPECT_EQ(key.create(platform::HKEY_CURRENT_USER, settings_registry_key),
                  platform::ERROR_SUCCESS);
        return key;
    }

    test_support::config_home dir_;
    oracle_converter_impl oracle_;
    mysql_converter_impl mysql_;
    conversion_switches switches_;
};

TEST_F(settings_registry_test, first_start_gives_the_wizard_defaults_and_leaves_all_values) {
    switches_.blob2text = switches_.skip_idx = switches_.tab_def = switches_.time_interval = true;
    switches_.mode = 2;
    mysql_.port = "1234";
    EXPECT_FALSE(serialize(false, oracle_, mysql_, switches_)) << "no value could be read";
    EXPECT_EQ(switches_.mode, 0);
    EXPECT_TRUE(switches_.uppercase);
    EXPECT_FALSE(switches_.blob2text);
    EXPECT_FALSE(switches_.skip_idx);
    EXPECT_FALSE(switches_.tab_def);
    EXPECT_FALSE(switches_.time_interval);
    EXPECT_EQ(mysql_.port, "3306");
    EXPECT_EQ(mysql_.host, "");
    EXPECT_EQ(oracle_.service_name, L"");
    EXPECT_EQ(switches_.source_database, L"");

    EXPECT_TRUE(serialize(true, oracle_, mysql_, switches_));
    tk_reg_key key = open_key();
    const char* numbers[] = {"blob2text", "mode",          "skip_idx",
                             "tab_def",   "time_interval", "uppercase"};
    const char* texts[] = {"host", "oracleh", "oraclep", "oracleu", "port", "pswd", "src", "user"};
    for (const char* name : numbers) {
        uint32_t value = 99;
        EXPECT_TRUE(key.exchange(name, value, false)) << name;
    }
    for (const char* name : texts) {
        std::string value = "unread";
        EXPECT_TRUE(key.exchange(name, value, false)) << name;
    }
    uint32_t uppercase = 0;
    key.exchange("uppercase", uppercase, false);
    EXPECT_EQ(uppercase, 1u);
    // Everything is there, so the next start reads every value.
    EXPECT_TRUE(serialize(false, oracle_, mysql_, switches_));
}

TEST_F(settings_registry_test, stored_settings_come_back) {
    oracle_.service_name = L"ORCL";
    oracle_.user = L"scott";
    oracle_.password = L"t\u00efger";
    oracle_.host = L"not kept";
    oracle_.use_tns = false;
    mysql_.host = "db1";
    mysql_.user = "root";
    mysql_.password = "pw";
    mysql_.port = "3307";
    switches_ = {L"shop", 1, true, false, true, true, true, {}};
    ASSERT_TRUE(serialize(true, oracle_, mysql_, switches_));

    oracle_converter_impl oracle;
    mysql_converter_impl mysql;
    conversion_switches switches;
    ASSERT_TRUE(serialize(false, oracle, mysql, switches));
    EXPECT_EQ(oracle.service_name, L"ORCL");
    EXPECT_EQ(oracle.user, L"scott");
    EXPECT_EQ(oracle.password, L"t\u00efger");
    EXPECT_EQ(oracle.host, L"");
    EXPECT_TRUE(oracle.use_tns);
    EXPECT_EQ(mysql.host, "db1");
    EXPECT_EQ(mysql.user, "root");
    EXPECT_EQ(mysql.password, "pw");
    EXPECT_EQ(mysql.port, "3307");
    EXPECT_EQ(switches.source_database, L"shop");
    EXPECT_EQ(switches.mode, 1);
    EXPECT_TRUE(switches.blob2text);
    EXPECT_FALSE(switches.uppercase);
    EXPECT_TRUE(switches.skip_idx);
    EXPECT_TRUE(switches.tab_def);
    EXPECT_TRUE(switches.time_interval);
}

TEST_F(settings_registry_test, damaged_values_keep_the_defaults) {
    {
        tk_reg_key key = open_key();
        key.set_value(7u, "mode");          // no such mode
        key.set_value("yes", "uppercase");  // text where a number belongs
        key.set_value(L"caf\u00e9", "src");
    }
    switches_.mode = 2;
    EXPECT_FALSE(serialize(false, oracle_, mysql_, switches_));
    EXPECT_EQ(switches_.mode, 0);
    EXPECT_TRUE(switches_.uppercase);
    EXPECT_EQ(switches_.source_database, L"caf\u00e9");
}

TEST_F(settings_registry_test, a_key_that_cannot_be_opened_changes_nothing) {
    std::ofstream(dir_.path() / "Vastrelco") << "a file where the folder belongs";
    switches_.mode = 2;
    switches_.uppercase = false;
    mysql_.port = "1234";
    EXPECT_FALSE(serialize(false, oracle_, mysql_, switches_));
    EXPECT_EQ(switches_.mode, 2);
    EXPECT_FALSE(switches_.uppercase);
    EXPECT_EQ(mysql_.port, "1234");
    EXPECT_FALSE(serialize(true, oracle_, mysql_, switches_));
}

}  // namespace
