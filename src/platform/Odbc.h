#pragma once
// What the ODBC driver manager (unixODBC) knows of data sources.
#include <QString>
#include <QStringList>

namespace quillon::platform {

// Names of the data sources whose driver description contains `driverText` (exact case) and
// whose name is not blank, in the driver manager's order. Empty when no ODBC environment can be
// had; errors on the way end the list.
QStringList DataSourcesWithDriver(const QString& driverText);

// True when a data source of the InterSystems ODBC driver ("InterSystems ODBC" in the driver
// description, exact case) is configured: the same test as the Ensemble picker's list, so the
// menu item is enabled exactly when the picker has a data source to offer.
bool IsEnsembleOdbcDriverInstalled();

}  // namespace quillon::platform
