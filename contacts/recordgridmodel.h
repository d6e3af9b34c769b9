#pragma once

#include "contacts/datamodule.h"

#include <QAbstractListModel>

// The data side of the record grid: one row per record of a query result, each row's record
// (stored and calculated fields) under RecordRole, its key under KeyRole.
namespace telmira::contacts {

class TRecordGridModel : public QAbstractListModel {
    Q_OBJECT

public:
    enum Role { RecordRole = Qt::UserRole + 1, KeyRole };

    explicit TRecordGridModel(QObject* parent = nullptr);

    // Shows a new result (a re-opened query); the view is reset.
    void SetResult(LiveResult result);
    const LiveResult& Result() const { return result_; }

    // The row of the record with this key, -1 when absent.
    int Locate(qint64 key) const { return result_.Locate(key); }
    Record RecordAt(int row) const { return result_.RecordAt(row); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    LiveResult result_;
};

} // namespace telmira::contacts
