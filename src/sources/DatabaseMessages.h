#pragma once
// Messages read from a database source, each taken from the driver's buffer straight into its
// record text, and laid out as a load leaves the store.
#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Odbc.h"
#include "records/RecordText.h"

namespace quillon {

class DatabaseMessages final : public platform::OdbcValueSink {
public:
    DatabaseMessages();
    ~DatabaseMessages();
    DatabaseMessages(DatabaseMessages&&) noexcept;
    DatabaseMessages& operator=(DatabaseMessages&&) noexcept;

    // A copy of `message` after the others.
    void Add(std::string_view message) override;
    // Where the next message may be written in place, and taking it from there.
    char* Room(size_t size) override { return arena_->Room(size); }
    void KeepInRoom(size_t size) override { slots_.push_back(arena_->Keep(size)); }
    // Message `index` (from 0) becomes a copy of `message`.
    void Replace(size_t index, std::string_view message);
    size_t Count() const { return slots_.size() - 1; }
    std::string_view operator[](size_t index) const { return slots_[index + 1]; }

    // The store's slots: slot 0 unused, the messages from slot 1 on, 99 empty slots after them.
    // No messages are left here.
    std::vector<RecordText> TakeSlots();

private:
    std::unique_ptr<RecordArena> arena_;
    std::vector<RecordText> slots_;
};

// Runs `sql` on an open connection and adds the first column of every row ("" for NULL) to
// `messages`, in the database's row order, each as the database holds it. False with the
// connection's error set on failure.
bool ReadMessages(platform::OdbcConnection& connection, const QString& sql,
                  const std::vector<std::string>& parameters, DatabaseMessages& messages);

}  // namespace quillon
