// The records of a source read on a thread of their own while the caller writes them.
//
// record_pipe starts a reader thread at construction: it reads the source from its first
// record, moves each record's values out of the source's page into batches (at most
// limits::rows records or limits::bytes of values each) and hands them over through a queue of
// at most limits::batches batches, so the reader waits when the writer is slower and memory
// stays bounded. The caller takes the batches in order with next().
//
// Ownership and threads: the source belongs to the reader thread from construction until the
// pipe is destroyed (or next() has returned false); the caller must not touch it meanwhile.
// next() is for one consumer thread. A failure of the source (sql_exception, say) is raised
// from next() after the batches read before it. The destructor asks the reader to stop and
// waits for it; a read already in progress ends first.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "UDB/udb_database.h"

class record_pipe {
  public:
    struct limits {
        size_t rows = 1000;
        size_t bytes = 8u << 20;
        size_t batches = 4;
    };
    struct batch {
        std::vector<udb_record> records;
        size_t bytes = 0;
    };

    record_pipe(udb_recordset& source, limits bounds);
    ~record_pipe();
    record_pipe(const record_pipe&) = delete;
    record_pipe& operator=(const record_pipe&) = delete;

    // Waits for the next batch; false when the source has ended. Raises the source's failure
    // once the batches before it were taken.
    bool next(batch& out);

    // The bytes a record's values take in memory, roughly (text, binary data, the rest).
    static size_t approximate_bytes(const udb_record& record) noexcept;

  private:
    void read();
    // Reads one batch; a failure of the source is kept for the caller.
    batch read_batch();
    // Hands a batch over, waiting for room; false when asked to stop.
    bool hand_over(batch&& full);

    udb_recordset& source_;
    limits limits_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<batch> queue_;
    bool ended_ = false;
    bool stop_ = false;
    std::exception_ptr failure_;
    std::thread reader_;
};
