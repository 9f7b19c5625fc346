#include "sources/DatabaseMessages.h"

namespace quillon {

DatabaseMessages::DatabaseMessages() : arena_(std::make_unique<RecordArena>()), slots_(1) {}
DatabaseMessages::~DatabaseMessages() = default;
DatabaseMessages::DatabaseMessages(DatabaseMessages&&) noexcept = default;
DatabaseMessages& DatabaseMessages::operator=(DatabaseMessages&&) noexcept = default;

void DatabaseMessages::Add(std::string_view message)
{
    slots_.push_back(arena_->Copy(message));
}

void DatabaseMessages::Replace(size_t index, std::string_view message)
{
    slots_[index + 1] = arena_->Copy(message);
}

std::vector<RecordText> DatabaseMessages::TakeSlots()
{
    slots_.resize(slots_.size() + 99);
    std::vector<RecordText> taken = std::move(slots_);
    slots_.assign(1, RecordText());
    arena_ = std::make_unique<RecordArena>();
    return taken;
}

bool ReadMessages(platform::OdbcConnection& connection, const QString& sql,
                  const std::vector<std::string>& parameters, DatabaseMessages& messages)
{
    if (!connection.StoredTexts(true))
        return false;
    const bool read = connection.QueryFirstColumn(sql, parameters, messages);
    return connection.StoredTexts(false) && read;
}

}  // namespace quillon
