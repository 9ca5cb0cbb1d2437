// Text encodings at the engine's edges. Inside the engine every text is UTF-8 (the database
// character set AL32UTF8); the OCI boundary speaks UTF-16 with byte lengths.
//
// Every function is total: malformed input never throws; undecodable sequences become U+FFFD.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace oralite {

std::u16string utf8_to_utf16(std::string_view text);
std::string utf16_to_utf8(std::u16string_view text);
// UTF-16 given as raw bytes in machine order (an odd trailing byte is dropped).
std::string utf16_bytes_to_utf8(const void* data, size_t bytes);

// Decodes one code point at text[pos], advancing pos; U+FFFD on a malformed sequence.
char32_t next_code_point(std::string_view text, size_t& pos);
void append_utf8(std::string& out, char32_t cp);

// Number of characters (code points) of a UTF-8 text.
size_t utf8_length(std::string_view text);
// Number of UTF-16 code units the text takes (a character outside the BMP counts 2): the unit
// in which CLOB lengths and offsets are counted.
size_t utf16_length(std::string_view text);
// Byte offset in `text` of UTF-16 unit `units` (clamped to the text's end).
size_t utf8_offset_of_utf16_unit(std::string_view text, size_t units);
// The first `chars` characters of a UTF-8 text.
std::string_view utf8_prefix(std::string_view text, size_t chars);

// Letters in the sense of Oracle's identifier rules (national letters included).
bool is_letter(char32_t cp);
char32_t to_upper(char32_t cp);
char32_t to_lower(char32_t cp);
std::string utf8_upper(std::string_view text);
std::string utf8_lower(std::string_view text);

std::string hex_upper(std::string_view bytes);
// Decodes hexadecimal text (an odd count gets a leading zero); false on a non-hex character.
bool hex_decode(std::string_view hex, std::string& out);

}  // namespace oralite
