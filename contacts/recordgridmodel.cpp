#include "contacts/recordgridmodel.h"

namespace telmira::contacts {

TRecordGridModel::TRecordGridModel(QObject* parent) : QAbstractListModel(parent) {}

void TRecordGridModel::SetResult(LiveResult result) {
    beginResetModel();
    result_ = std::move(result);
    endResetModel();
}

int TRecordGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : result_.RecordCount();
}

QVariant TRecordGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= result_.RecordCount())
        return {};
    switch (role) {
    case RecordRole:
        return result_.RecordAt(index.row());
    case KeyRole:
        return result_.KeyAt(index.row());
    default:
        return {};
    }
}

} // namespace telmira::contacts
