// tblFiles answered from the names in memory, on one connection, without a change to the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "store/Sqlite.h"

namespace trovander {

// A table of the connection's own temporary schema, named tblFiles: it comes before the stored view of
// that name, so statement 6 reaches it as it is written. It takes the LIKE of a query itself and answers
// from a NameArena while the arena stands for what the file holds now: no other connection has committed
// since it was read (the file's data version), this connection has written nothing since (its
// generation), and this connection has no transaction open. Otherwise it reads the stored view, with
// the same rows in the same order, and has the names read again in the background.
//
// The arena is read on a thread of its own over a connection of its own, so no window waits for it; the
// file itself is never changed, and nothing decrypted leaves the process's memory.
class NameTable {
  public:
    explicit NameTable(std::string path);
    ~NameTable();
    NameTable(const NameTable&) = delete;
    NameTable& operator=(const NameTable&) = delete;

    // Puts the table on conn. False when the engine refused it: the stored view then answers alone.
    bool attach(Connection& conn) noexcept;
    // This store wrote through its own connection: what the arena holds may no longer be what it reads.
    void changed() noexcept;
    // Has the names read into memory from now on, starting a read now unless one runs. The file's data
    // version is taken from conn, which must be free of transactions and of other threads' use.
    void load(Connection& conn);
    // Reads the names again when load was ever asked for: after a rebuild, say.
    void reloadIfWanted(Connection& conn);

    // A read that load started has ended, with names in memory or without (what could not be read is
    // searched in the tables).
    bool loaded() const;
    // Bytes the names in memory take; 0 when there are none.
    size_t bytes() const;
    // How many queries the names in memory have answered: for tests that must know which way a search went.
    uint64_t answered() const;

    struct State;

  private:
    static sqlite3* handleOf(Connection& conn) { return conn.db_.get(); }

    std::shared_ptr<State> state_;
};

}  // namespace trovander
