#pragma once
#include "reports/frmViewsDelete.h"

namespace quillon {

class frmReportsDelete : public DefinitionsDeleteDialog {
    Q_OBJECT
public:
    frmReportsDelete(const QString& reportsFolder, std::function<void()> fillReportsMenu,
                     QWidget* parent = nullptr);
    QListWidget*& lstReports = lstNames;
    void LoadReportNames() { LoadNames(); }
};

}  // namespace quillon
