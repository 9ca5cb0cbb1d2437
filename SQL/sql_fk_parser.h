// The creation text of a table (SHOW CREATE TABLE), kept as lines.
//
// Foreign keys are not carried over, so nothing is made of the CONSTRAINT lines. The text is
// also the one place that tells a literal column default from an expression: SHOW COLUMNS
// prints the literal 'abc' and the expression current_timestamp() alike, without quotes,
// while the creation text quotes literals ('abc', '2024-01-01') or writes them as numbers
// (5, 1.50) or bit strings (b'101').
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// current_time: the moment of the insert (CURRENT_TIMESTAMP, NOW(), LOCALTIMESTAMP, with or
// without a precision), the one expression a destination can say in its own words.
enum class sql_default_kind { none, literal, current_time, expression };

class sql_fk_parser {
  public:
    sql_fk_parser(const std::wstring& table, const std::wstring& text);

    const std::vector<std::wstring>& lines() const { return lines_; }

    // What the column's DEFAULT clause is: none (no clause, or DEFAULT NULL), a literal, or an
    // expression. Nothing when the column has no line in the text (a view, an odd server).
    // Column names compare case-insensitively, as MySQL compares them.
    std::optional<sql_default_kind> column_default(const std::wstring& column) const;
    // The text of the column's DEFAULT clause after the word DEFAULT (to the end of its line);
    // empty when there is none.
    std::wstring column_default_text(const std::wstring& column) const;

    // The table's next AUTO_INCREMENT value from the table options of the closing line
    // (") ENGINE=InnoDB AUTO_INCREMENT=61 ..."); nothing when the table has no counter. Every
    // value up to 18446744073709551615 is read.
    std::optional<uint64_t> auto_increment_next() const;

  private:
    std::wstring table_;
    std::vector<std::wstring> lines_;
};
