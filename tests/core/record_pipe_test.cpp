#include "core/record_pipe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "TK/tk_exception.h"
#include "UDB/ole_variant.h"

namespace {

// A source of numbered records (id, text of a given length) that can fail at one record and
// counts how far it was read.
class numbered_source : public udb_recordset {
  public:
    numbered_source(int64_t total, size_t text_length, int64_t failing_at = -1)
        : udb_recordset(L"numbered", true),
          total_(total),
          text_length_(text_length),
          failing_at_(failing_at) {}

    bool append_record(udb_record&) override { return false; }
    void move_first() override {
        position_ = 0;
        fill();
    }
    bool is_eof() override { return position_ >= total_; }
    udb_record* get_item() override { return is_eof() ? nullptr : &current_; }
    int64_t next() override {
        ++position_;
        if (position_ == failing_at_) {
            throw tk_exception("the connection to the source was lost", 1);
        }
        fill();
        read_ = position_;
        return position_;
    }

    std::atomic<int64_t> read_ = 0;

  private:
    void fill() {
        current_.fields.clear();
        current_.fields.emplace_back(L"id", 0, ole_variant(static_cast<long long>(position_)));
        current_.fields.emplace_back(
            L"text", 0,
            ole_variant(std::wstring(text_length_, static_cast<wchar_t>(L'a' + position_ % 26))));
    }

    int64_t total_;
    size_t text_length_;
    int64_t failing_at_;
    int64_t position_ = 0;
    udb_record current_;
};

// Takes every batch; the ids in the order they came.
std::vector<int64_t> drain(record_pipe& pipe, size_t& batches, size_t& largest) {
    std::vector<int64_t> ids;
    record_pipe::batch batch;
    batches = 0;
    largest = 0;
    while (pipe.next(batch)) {
        ++batches;
        largest = std::max(largest, batch.records.size());
        for (const udb_record& record : batch.records) {
            ids.push_back(record[0].to_long());
        }
    }
    return ids;
}

// Every record arrives once and in order, values intact, in batches bounded by rows or by
// bytes, whichever comes first.
TEST(record_pipe, every_record_arrives_once_in_order_in_bounded_batches) {
    struct {
        int64_t total;
        size_t text_length;
        record_pipe::limits bounds;
        size_t most_rows;
    } const cases[] = {
        {0, 1, {}, 0},
        {1, 1, {}, 1},
        {1000, 1, {1000, 8u << 20, 4}, 1000},
        {1001, 1, {1000, 8u << 20, 4}, 1000},
        // Bounded by bytes: records of about 4 KB, 64 KB a batch.
        {500, 1000, {1000, 64u << 10, 2}, 16},
        // A single record beyond the byte bound still travels, alone.
        {3, 100000, {1000, 1000, 1}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.total) + " records of " + std::to_string(c.text_length));
        numbered_source source(c.total, c.text_length);
        record_pipe pipe(source, c.bounds);
        size_t batches = 0;
        size_t largest = 0;
        const std::vector<int64_t> ids = drain(pipe, batches, largest);
        ASSERT_EQ(ids.size(), static_cast<size_t>(c.total));
        for (int64_t i = 0; i < c.total; ++i) {
            ASSERT_EQ(ids[static_cast<size_t>(i)], i);
        }
        EXPECT_LE(largest, c.most_rows);
        if (c.total > 0) {
            EXPECT_EQ(largest, c.most_rows);
        }
    }
}

// The source's failure reaches the caller after the records read before it, none lost.
TEST(record_pipe, a_failing_source_hands_over_what_it_read_then_its_error) {
    for (const int64_t failing_at : {1, 999, 1000, 1001, 2500}) {
        SCOPED_TRACE(failing_at);
        numbered_source source(5000, 3, failing_at);
        record_pipe pipe(source, {1000, 8u << 20, 2});
        std::vector<int64_t> ids;
        record_pipe::batch batch;
        try {
            while (pipe.next(batch)) {
                for (const udb_record& record : batch.records) {
                    ids.push_back(record[0].to_long());
                }
            }
            ADD_FAILURE() << "the failure was not raised";
        } catch (const tk_exception& e) {
            EXPECT_NE(std::string(e.what()).find("connection to the source was lost"),
                      std::string::npos);
        }
        ASSERT_EQ(ids.size(), static_cast<size_t>(failing_at));
        EXPECT_EQ(ids.back(), failing_at - 1);
        // Raised once: the pipe has ended.
        EXPECT_FALSE(pipe.next(batch));
    }
}

// A caller that stops early (a stop request) leaves with the reader waiting on a full queue;
// the pipe ends it without reading the rest of the source.
TEST(record_pipe, stopping_early_ends_the_reader_without_reading_everything) {
    numbered_source source(1000000, 10);
    const auto started = std::chrono::steady_clock::now();
    {
        record_pipe pipe(source, {100, 8u << 20, 2});
        record_pipe::batch batch;
        ASSERT_TRUE(pipe.next(batch));
        EXPECT_EQ(batch.records.size(), 100u);
        // Let the reader fill the queue and wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_LT(source.read_.load(), 1000);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
}

}  // namespace
