#pragma once

#include "store/StyleListing.h"

#include <QSqlDatabase>
#include <QString>

// The STY library: the status value RetVal of the last read or write and the style listing.
class KORFLibrary {
public:
    qint32 RetVal() const { return m_RetVal; }
    void setRetVal(qint32 v) { m_RetVal = v; }

    // The style listing with the filter and sort clauses in use; throws SbkError when the
    // database rejects a clause. Does not change RetVal.
    StyleListing GetAllStyles(QSqlDatabase connection, const QString& filterWhere, const QString& filterOrder) const
    {
        return StyleListing::GetAllStyles(connection, filterWhere, filterOrder);
    }

private:
    qint32 m_RetVal = 0;
};
