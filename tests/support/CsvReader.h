// Reading CSV text back in tests, independently of the writers under test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvanta::test {

using CsvRows = std::vector<std::vector<std::string>>;

// A strict RFC 4180 reader: fields split by ",", records by "\n"; a field that starts with a
// quote runs to the next lone quote, with "" standing for one quote. Fails the test on text
// that is not well-formed.
inline CsvRows readCsv(const std::string& text) {
    CsvRows rows;
    std::vector<std::string> row;
    std::string field;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '"') {
            for (++i;; ++i) {
                if (i >= text.size()) {
                    ADD_FAILURE() << "unterminated quoted field";
                    return rows;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        ++i;
                    } else {
                        ++i;
                        break;
                    }
                } else {
                    field += text[i];
                }
            }
            if (i < text.size() && text[i] != ',' && text[i] != '\n') {
                ADD_FAILURE() << "text after a closing quote at byte " << i;
                return rows;
            }
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\n') {
                if (text[i] == '"') ADD_FAILURE() << "quote inside an unquoted field at byte " << i;
                field += text[i++];
            }
        }
        row.push_back(std::move(field));
        field.clear();
        if (i < text.size() && text[i] == '\n') {
            rows.push_back(std::move(row));
            row.clear();
        }
        ++i;
    }
    EXPECT_TRUE(row.empty()) << "the last record has no line end";
    return rows;
}

}  // namespace quorvanta::test
