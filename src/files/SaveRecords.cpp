#include "files/SaveRecords.h"

#include "platform/FileIO.h"

namespace quillon {

void AppendDiskRecord(std::string& out, std::string_view record, const EnvelopeChars& envelope,
                      bool useEnvelope)
{
    if (useEnvelope) {
        out.push_back(envelope.StartOfBlockChar);
        out.append(record);
        out.push_back(envelope.EndOfBlockChar);
        out.push_back(envelope.EndOfDataChar);
        out.push_back(envelope.EndOfBlockChar);
    } else {
        out.append(record);
        out.append("\r\n");
    }
}

WriteResult WriteRecordsFile(const QString& path, const std::vector<std::string_view>& records,
                             const EnvelopeChars& envelope, bool useEnvelope,
                             const std::function<void(size_t written)>& progress)
{
    return WriteFramedRecords(
        path, records,
        [&](std::string& out, std::string_view record) {
            AppendDiskRecord(out, record, envelope, useEnvelope);
        },
        progress);
}

WriteResult WriteFramedRecords(const QString& path, const std::vector<std::string_view>& records,
                               const RecordFramer& append,
                               const std::function<void(size_t written)>& progress)
{
    return WriteFramedTexts(
        path, records.size(), [&records](size_t i) { return records[i]; },
        append, progress);
}

WriteResult WriteFramedTexts(const QString& path, size_t count,
                             const std::function<std::string_view(size_t)>& text,
                             const RecordFramer& append,
                             const std::function<void(size_t written)>& progress,
                             const std::atomic<bool>* stop)
{
    platform::WholeFile file(path);
    if (!file.Open())
        return {false, file.Error(), file.ErrorString()};
    std::string chunk;
    constexpr size_t flushAt = 1 << 20;
    for (size_t i = 0; i < count; ++i) {
        append(chunk, text(i));
        if (chunk.size() >= flushAt || i + 1 == count) {
            if (stop && stop->load()) {
                file.Cancel();
                return {false, QFileDevice::AbortError, QStringLiteral("stopped")};
            }
            if (!file.Write(chunk))
                return {false, file.Error(), file.ErrorString()};
            chunk.clear();
        }
        if (progress)
            progress(i + 1);
    }
    if (!file.Commit())
        return {false, file.Error(), file.ErrorString()};
    return {true, QFileDevice::NoError, {}};
}

}  // namespace quillon
