// Transaction: explicit all-or-nothing groups of writes over the files of some open tables.
#include <algorithm>

#include "platform/error.h"
#include "tables/src/table_impl.h"

namespace pavo::tables {

Transaction::Transaction(std::vector<Table*> tables) {
    for (Table* t : tables) {
        if (t == nullptr || !t->active())
            throw Error(ErrorKind::kInvalidInput, "A transaction needs open tables");
        const std::shared_ptr<Connection>& c = t->impl_->conn;
        if (std::find(conns_.begin(), conns_.end(), c) == conns_.end()) conns_.push_back(c);
    }
    if (conns_.empty())
        throw Error(ErrorKind::kInvalidInput, "A transaction needs at least one open table");
    try {
        for (const auto& c : conns_) levels_.push_back(c->begin_transaction(this));
    } catch (...) {
        for (std::size_t i = levels_.size(); i-- > 0;) conns_[i]->rollback_transaction(levels_[i]);
        throw;
    }
    active_ = true;
}

Transaction::~Transaction() {
    rollback();
}

bool Transaction::active() const {
    if (!active_) return false;
    // An enclosing transaction's rollback ends this one too.
    for (std::size_t i = 0; i < conns_.size(); ++i)
        if (conns_[i]->transaction_owner(levels_[i]) != this) return false;
    return true;
}

void Transaction::commit() {
    if (!active()) throw Error(ErrorKind::kInvalidInput, "The transaction is no longer open");
    for (std::size_t i = 0; i < conns_.size(); ++i)
        if (conns_[i]->transaction_depth() != levels_[i])
            throw Error(ErrorKind::kInvalidInput,
                        "A transaction begun inside this one is still open on " +
                            file_label(conns_[i]->file()));
    active_ = false;
    std::string written;
    for (std::size_t i = 0; i < conns_.size(); ++i) {
        try {
            conns_[i]->commit_transaction(levels_[i]);
        } catch (const Error& e) {
            for (std::size_t j = conns_.size(); j-- > i + 1;)
                conns_[j]->rollback_transaction(levels_[j]);
            if (written.empty()) throw;
            throw Error(e.kind(), std::string(e.what()) + "\nAlready written: " + written);
        }
        written += (written.empty() ? "" : ", ") + file_label(conns_[i]->file());
    }
}

void Transaction::rollback() {
    if (!active_) return;
    active_ = false;
    for (std::size_t i = conns_.size(); i-- > 0;)
        if (conns_[i]->transaction_owner(levels_[i]) == this)
            conns_[i]->rollback_transaction(levels_[i]);
}

}  // namespace pavo::tables
