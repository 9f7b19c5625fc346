#include "sources/EnsembleSource.h"

namespace quillon {

using platform::OdbcConnection;
using platform::OdbcOutcome;
using platform::OdbcRow;

QString EnsembleTimeBound(const QDate& date, const QTime& time)
{
    return QStringLiteral("%1-%2-%3 %4:%5:%6")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(time.hour(), 2, 10, QLatin1Char('0'))
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.second(), 2, 10, QLatin1Char('0'));
}

EnsembleBounds EnsembleTodayBounds(const QDate& today)
{
    return {EnsembleTimeBound(today, QTime(0, 0, 0)), EnsembleTimeBound(today, QTime(23, 59, 59))};
}

EnsembleBusinessType EnsembleTypeOf(const EnsembleState& state)
{
    if (state.EnsembleBusinessServices)
        return EnsembleBusinessType::Service;
    if (state.EnsembleBusinessOperations)
        return EnsembleBusinessType::Operation;
    if (state.EnsembleBusinessProcesses)
        return EnsembleBusinessType::Process;
    return EnsembleBusinessType::None;
}

int EnsembleTypeNumber(EnsembleBusinessType type)
{
    switch (type) {
    case EnsembleBusinessType::Service: return 1;
    case EnsembleBusinessType::Process: return 2;
    case EnsembleBusinessType::Operation: return 3;
    case EnsembleBusinessType::None: break;
    }
    return 0;
}

namespace {

// The one template of the query: the shown text and the sent statement differ only in what
// stands for the three values.
QString BuildQuery(EnsembleBusinessType type, const QString& name, const QString& start,
                   const QString& end)
{
    QString condition;
    if (type == EnsembleBusinessType::Service)
        condition = QStringLiteral("WHERE (Ens.MessageHeader.SourceConfigName = ") + name
            + QStringLiteral(") ");
    else if (type != EnsembleBusinessType::None)
        condition = QStringLiteral("WHERE (Ens.MessageHeader.TargetConfigName = ") + name
            + QStringLiteral(") ");
    else
        return {};
    condition += QStringLiteral("AND (Ens.MessageHeader.TimeCreated BETWEEN ") + start
        + QStringLiteral(" AND ") + end + QStringLiteral(") ")
        + QStringLiteral("AND (EnsLib_HL7.Message.Name <> 'ACK')");
    return QStringLiteral("SELECT ('X' _ EnsLib_HL7.Message.ID), EnsLib_HL7.Message.RawContent "
                          "FROM EnsLib_HL7.Message WHERE EnsLib_HL7.Message.ID IN (")
        + QStringLiteral("SELECT DISTINCT Ens.MessageHeader.MessageBodyID FROM EnsLib_HL7.Message "
                         "INNER JOIN Ens.MessageHeader ")
        + QStringLiteral("ON EnsLib_HL7.Message.Id = Ens.MessageHeader.MessageBodyID ") + condition
        + QStringLiteral(")");
}

QString Quoted(const QString& value) { return QLatin1Char('\'') + value + QLatin1Char('\''); }

}  // namespace

QString EnsembleQueryText(EnsembleBusinessType type, const QString& name,
                          const EnsembleBounds& bounds)
{
    return BuildQuery(type, Quoted(name), Quoted(bounds.start), Quoted(bounds.end));
}

QString EnsembleQueryStatement(EnsembleBusinessType type)
{
    const QString mark = QStringLiteral("?");
    return BuildQuery(type, mark, mark, mark);
}

std::string EnsembleMessageId(std::string_view idColumn)
{
    return std::string(!idColumn.empty() && idColumn.front() == 'X' ? idColumn.substr(1) : idColumn);
}

std::string EnsembleLongMessageResult(std::string procedureResult)
{
    return procedureResult.size() > 1 ? std::move(procedureResult) : std::string();
}

bool GetLongEnsembleMessage(OdbcConnection& connection, const std::string& id, std::string& text)
{
    std::string whole;
    if (!connection.CallReturningText(kGetHL7MessageCall, {id}, kLongMessageBufferSize, &whole))
        return false;
    text = EnsembleLongMessageResult(std::move(whole));
    return true;
}

bool ListEnsembleInterfaces(const QString& dsn, EnsembleBusinessType type, QStringList& names,
                            platform::OdbcError& error)
{
    OdbcConnection connection;
    if (!connection.Connect(dsn)) {
        error = connection.LastError();
        return false;
    }
    const QString wanted = QString::number(EnsembleTypeNumber(type));
    const bool ok = connection.Query(kListInterfacesCall, {}, [&](OdbcRow& row) {
        if (row.size() >= 4 && QString::fromStdString(row[3]).trimmed() == wanted)
            names << QString::fromStdString(row[0]);
        return true;
    });
    if (!ok)
        error = connection.LastError();
    return ok;
}

EnsembleFetch FetchEnsembleMessages(const QString& dsn, EnsembleBusinessType type,
                                    const QString& name, const EnsembleBounds& bounds)
{
    EnsembleFetch fetch;
    OdbcConnection connection;
    const auto fail = [&] {
        fetch.result = EnsembleFetch::Result::Failed;
        fetch.error = connection.LastError();
        fetch.messages = {};
        return std::move(fetch);
    };
    // The texts as the database holds them, the long ones read again as well.
    if (!connection.Connect(dsn) || !connection.StoredTexts(true))
        return fail();
    // Column 0 kept only for the rows whose text may be cut short.
    std::vector<std::string> ids;
    std::vector<size_t> cutShort;
    const bool ok = connection.QueryViews(
        EnsembleQueryStatement(type), {name.toStdString(), bounds.start.toStdString(),
                                       bounds.end.toStdString()},
        [&](platform::OdbcRowView row) {
            const std::string_view text = row.size() > 1 ? row[1] : std::string_view();
            const bool cut = EnsembleMessageCutShort(text);
            if (cut) {
                cutShort.push_back(fetch.messages.Count());
                ids.push_back(EnsembleMessageId(row.empty() ? std::string_view() : row[0]));
            }
            // A text cut short is read again whole below; its place waits empty till then.
            fetch.messages.Add(cut ? std::string_view() : text);
            return true;
        });
    if (!ok)
        return fail();
    if (fetch.messages.Count() == 0) {
        fetch.result = EnsembleFetch::Result::NoRows;
        return fetch;
    }
    for (size_t i = 0; i < cutShort.size(); ++i) {
        std::string whole;
        if (!GetLongEnsembleMessage(connection, ids[i], whole))
            return fail();
        fetch.messages.Replace(cutShort[i], whole);
    }
    fetch.result = EnsembleFetch::Result::Loaded;
    return fetch;
}

QString EnsembleNoMessagesText(const QString& name)
{
    return QStringLiteral("There are no HL7 messages in ") + name
        + QStringLiteral(" during that time frame.");
}

QString EnsembleCannotConnectDsnText(const QString& dsn)
{
    return QStringLiteral("Can't connect to Cache DSN '") + dsn + QStringLiteral("'");
}

QString EnsembleLogonRefusedText(const QString& dsn)
{
    return QStringLiteral("The Cache DSN '") + dsn + QStringLiteral("' refused the logon.");
}

QString EnsembleLoadErrorText(const platform::OdbcError& error)
{
    return QStringLiteral("Error in mnuFileOpenEnsemble: Err = ") + QString::number(error.nativeCode)
        + QStringLiteral(".  ") + error.text;
}

}  // namespace quillon
