#include "reports/frmReportsDelete.h"

#include "reports/ReportDefinitions.h"

namespace quillon {

frmReportsDelete::frmReportsDelete(const QString& reportsFolder,
                                   std::function<void()> fillReportsMenu, QWidget* parent)
    : DefinitionsDeleteDialog(QStringLiteral("Delete Report Definition"),
                              QStringLiteral("Reports:"), reportsFolder, kReportSuffix,
                              std::move(fillReportsMenu), parent)
{
}

}  // namespace quillon
