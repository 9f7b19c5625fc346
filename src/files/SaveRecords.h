#pragma once
// HL7 message files as written: each record followed by CR LF, or wrapped in the envelope
// characters (start, record, end of block, end of data, end of block) with no line break.
#include <QFileDevice>
#include <QString>
#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "records/RecordStore.h"

namespace quillon {

// Appends one record in its written form to `out`.
void AppendDiskRecord(std::string& out, std::string_view record, const EnvelopeChars& envelope,
                      bool useEnvelope);

struct WriteResult {
    bool ok = false;
    QFileDevice::FileError error = QFileDevice::NoError;
    QString message;
};

// Writes the records to `path`, each in the form `append` gives it, replacing the file only once
// everything is written, so a failure leaves an existing file as it was. `progress` hears each
// record's number (from 1).
using RecordFramer = std::function<void(std::string& out, std::string_view record)>;
WriteResult WriteFramedRecords(const QString& path, const std::vector<std::string_view>& records,
                               const RecordFramer& append,
                               const std::function<void(size_t written)>& progress = {});

// The same for `count` texts that `text(i)` gives (i from 0), checking `stop` (when given)
// between blocks: a write stopped that way leaves an existing file as it was too.
WriteResult WriteFramedTexts(const QString& path, size_t count,
                             const std::function<std::string_view(size_t)>& text,
                             const RecordFramer& append,
                             const std::function<void(size_t written)>& progress = {},
                             const std::atomic<bool>* stop = nullptr);

// The records as File > Save writes them (see AppendDiskRecord).
WriteResult WriteRecordsFile(const QString& path, const std::vector<std::string_view>& records,
                             const EnvelopeChars& envelope, bool useEnvelope,
                             const std::function<void(size_t written)>& progress = {});

}  // namespace quillon
