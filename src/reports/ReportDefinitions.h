#pragma once
// Report definitions: a report's columns saved as `<name>.report` in the reports folder.
#include "reports/ViewFiles.h"

namespace quillon {

inline const QString kReportSuffix = QStringLiteral(".report");

inline QStringList ListReportDefinitions(const QString& folder)
{
    return ListDefinitionNames(folder, kReportSuffix);
}
// The columns in display order, one a line. False (with the reason) when not saved; an older
// definition of that name then stands.
inline bool SaveReportDefinition(const QString& folder, const QString& name,
                                 const std::vector<std::string>& designations,
                                 QString* error = nullptr)
{
    return WriteDefinitionFile(folder, name, kReportSuffix, designations, error);
}

}  // namespace quillon
