#include "TK/tk_reg_key.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TK/tk_exception.h"
#include "test_support/config_home.h"

namespace fs = std::filesystem;
using namespace platform;

namespace {

const char test_key[] = "Software\\Vastrelco\\Test";

// The registry of each test lives in a private configuration folder.
class registry_test : public ::testing::Test {
  protected:
    tk_reg_key open_key() {
        tk_reg_key key;
        EXPECT_EQ(key.create(HKEY_CURRENT_USER, test_key), ERROR_SUCCESS);
        return key;
    }
    fs::path key_file() const { return dir_.path() / "Vastrelco" / "Test.reg"; }

    test_support::config_home dir_;
};

TEST_F(registry_test, key_lives_in_a_private_file_under_the_config_folder) {
    DWORD disposition = 0;
    tk_reg_key key;
    ASSERT_EQ(key.create(HKEY_CURRENT_USER, test_key, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                         &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(registry_key_file(test_key), key_file().string());
    ASSERT_TRUE(fs::exists(key_file()));
    ASSERT_EQ(key.set_value("secret", "pswd"), ERROR_SUCCESS);
    // Passwords are kept in plain text, so only the owner may read the file.
    EXPECT_EQ(fs::status(key_file()).permissions() & (fs::perms::group_all | fs::perms::others_all),
              fs::perms::none);
    // Nothing but the key's file is left in the folder: the temporary file was renamed.
    EXPECT_EQ(std::distance(fs::directory_iterator(key_file().parent_path()), {}), 1);

    tk_reg_key again;
    ASSERT_EQ(again.create(HKEY_CURRENT_USER, test_key, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                           &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
}

TEST_F(registry_test, typed_values_survive_reopening) {
    {
        tk_reg_key key = open_key();
        EXPECT_EQ(key.set_value(7u, "mode"), ERROR_SUCCESS);
        EXPECT_EQ(key.set_value("db 1 % \n\x01", "host"), ERROR_SUCCESS);
        EXPECT_EQ(key.set_value(L"caf\u00e9 \U0001F600", "src"), ERROR_SUCCESS);
        EXPECT_EQ(key.set_value("", "empty"), ERROR_SUCCESS);
    }
    tk_reg_key key = open_key();
    uint32_t number = 0;
    EXPECT_EQ(key.get_value(number, "mode"), ERROR_SUCCESS);
    EXPECT_EQ(number, 7u);
    std::string narrow;
    EXPECT_TRUE(key.exchange("host", narrow, false));
    EXPECT_EQ(narrow, "db 1 % \n\x01");
    std::wstring wide;
    EXPECT_TRUE(key.exchange("src", wide, false));
    EXPECT_EQ(wide, L"caf\u00e9 \U0001F600");
    // Text written wide reads narrow (the ANSI set is UTF-8 here) and the other way round.
    EXPECT_TRUE(key.exchange("src", narrow, false));
    EXPECT_EQ(narrow, "caf\xc3\xa9 \xf0\x9f\x98\x80");
    EXPECT_TRUE(key.exchange("empty", narrow, false));
    EXPECT_EQ(narrow, "");
    // Value names do not depend on case.
    EXPECT_EQ(key.get_value(number, "MODE"), ERROR_SUCCESS);
}

TEST_F(registry_test, sizes_follow_the_windows_rules) {
    tk_reg_key key = open_key();
    ASSERT_EQ(key.set_value("abc", "t"), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(key.get_value(static_cast<char*>(nullptr), "t", &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(key.get_value(static_cast<wchar_t*>(nullptr), "t", &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4 * sizeof(wchar_t));
    char small[2];
    size = sizeof small;
    EXPECT_EQ(key.get_value(small, "t", &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(key.get_value(static_cast<char*>(nullptr), "absent", &size), ERROR_FILE_NOT_FOUND);
}

TEST_F(registry_test, exchange_reads_only_what_it_can_and_leaves_the_rest) {
    tk_reg_key key = open_key();
    bool flag = true;
    int32_t mode = -5;
    std::string text = "before";
    std::wstring wide = L"before";
    ASSERT_TRUE(key.exchange("flag", flag, true));
    ASSERT_TRUE(key.exchange("mode", mode, true));
    ASSERT_EQ(key.set_value(2u, "flag2"), ERROR_SUCCESS);

    bool read_flag = false;
    EXPECT_TRUE(key.exchange("flag", read_flag, false));
    EXPECT_TRUE(read_flag);
    EXPECT_TRUE(key.exchange("flag2", read_flag = false, false));
    EXPECT_TRUE(read_flag) << "any non-zero number is true";
    int32_t read_mode = 0;
    EXPECT_TRUE(key.exchange("mode", read_mode, false));
    EXPECT_EQ(read_mode, -5);

    // Absent values and values of the other type fail and leave the variable as it was.
    EXPECT_FALSE(key.exchange("absent", text, false));
    EXPECT_FALSE(key.exchange("absent", wide, false));
    EXPECT_FALSE(key.exchange("absent", read_mode, false));
    EXPECT_FALSE(key.exchange("mode", text, false));
    EXPECT_FALSE(key.exchange("mode", wide, false));
    ASSERT_EQ(key.set_value("1", "text_flag"), ERROR_SUCCESS);
    EXPECT_FALSE(key.exchange("text_flag", read_flag = false, false));
    EXPECT_EQ(text, "before");
    EXPECT_EQ(wide, L"before");
    EXPECT_FALSE(read_flag);
    EXPECT_EQ(read_mode, -5);
}

TEST_F(registry_test, a_damaged_line_loses_only_its_value) {
    {
        tk_reg_key key = open_key();
        ASSERT_EQ(key.set_value(1u, "a"), ERROR_SUCCESS);
        ASSERT_EQ(key.set_value("x", "b"), ERROR_SUCCESS);
    }
    std::ostringstream content;
    content << std::ifstream(key_file()).rdbuf();
    std::ofstream(key_file()) << content.str() << "dword c notanumber\nsz d %G1\ngarbage\n";
    tk_reg_key key = open_key();
    uint32_t a = 0;
    std::string b, d;
    EXPECT_TRUE(key.exchange("a", a, false));
    EXPECT_TRUE(key.exchange("b", b, false));
    EXPECT_FALSE(key.exchange("c", a, false));
    EXPECT_FALSE(key.exchange("d", d, false));
}

TEST_F(registry_test, an_empty_file_is_an_empty_key_and_a_foreign_file_is_left_alone) {
    fs::create_directories(key_file().parent_path());
    std::ofstream(key_file()).close();
    {
        tk_reg_key key = open_key();
        EXPECT_EQ(key.set_value(1u, "a"), ERROR_SUCCESS);
    }
    std::ofstream(key_file()) << "[settings]\nmode=1\n";
    tk_reg_key key;
    EXPECT_EQ(key.create(HKEY_CURRENT_USER, test_key), ERROR_INVALID_DATA);
    std::ostringstream content;
    content << std::ifstream(key_file()).rdbuf();
    EXPECT_EQ(content.str(), "[settings]\nmode=1\n");
}

TEST_F(registry_test, unusable_keys_and_arguments) {
    tk_reg_key key;
    uint32_t number = 0;
    DWORD size = 0;
    EXPECT_THROW(key.get_value(number, "x"), tk_mail_assertion);
    EXPECT_THROW(key.set_value(1u, "x"), tk_mail_assertion);
    EXPECT_THROW(key.create(nullptr, test_key), tk_mail_assertion);
    key = open_key();
    EXPECT_THROW(key.get_value(number, nullptr), tk_mail_assertion);
    EXPECT_THROW(key.get_value(static_cast<char*>(nullptr), "x", nullptr), tk_mail_assertion);
    EXPECT_EQ(key.get_value(static_cast<char*>(nullptr), "x", &size), ERROR_FILE_NOT_FOUND);
    // Key paths cannot climb out of the configuration folder.
    tk_reg_key other;
    EXPECT_NE(other.create(HKEY_CURRENT_USER, "Software\\..\\..\\etc"), ERROR_SUCCESS);
    EXPECT_NE(other.create(HKEY_CURRENT_USER, "Software\\a/b"), ERROR_SUCCESS);
    EXPECT_FALSE(other.is_open());
}

TEST_F(registry_test, a_key_that_cannot_be_created_is_an_error_code) {
    // A plain file where the folder should be: even root cannot create the key.
    std::ofstream(dir_.path() / "Vastrelco") << "in the way";
    tk_reg_key key;
    EXPECT_NE(key.create(HKEY_CURRENT_USER, test_key), ERROR_SUCCESS);
    EXPECT_FALSE(key.is_open());
}

}  // namespace
