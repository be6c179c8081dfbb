#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QSet>

#include <functional>

// Brings a list model's rows from `rows` to `next` with row-level signals, matching rows by record
// identity: rows that left are removed, rows that came are inserted, rows that stayed keep their place
// (and their selection and persistent indexes in views). Falls back to a reset only when records that
// stayed changed their relative order, which the store's orders never do.
struct LiveRowsSignals
{
    std::function<void(int first, int last)> beginRemove;
    std::function<void()> endRemove;
    std::function<void(int first, int last)> beginInsert;
    std::function<void()> endInsert;
    std::function<void()> beginReset;
    std::function<void()> endReset;
};

template <typename Record>
void updateLiveRows(QList<Record>& rows, const QList<Record>& next, const LiveRowsSignals& s)
{
    if (rows == next) // identity-wise
        return;
    using Id = std::decay_t<decltype(rows.first().id())>;
    QSet<Id> oldIds, nextIds;
    for (const Record& r : rows)
        oldIds.insert(r.id());
    for (const Record& r : next)
        nextIds.insert(r.id());

    QList<Id> keptOld, keptNext;
    for (const Record& r : rows)
        if (nextIds.contains(r.id()))
            keptOld.append(r.id());
    for (const Record& r : next)
        if (oldIds.contains(r.id()))
            keptNext.append(r.id());
    if (keptOld != keptNext || oldIds.size() != rows.size() || nextIds.size() != next.size()) {
        s.beginReset();
        rows = next;
        s.endReset();
        return;
    }

    // Removals from the end, so earlier row numbers stay valid; each contiguous run is one signal.
    for (int i = int(rows.size()) - 1; i >= 0; --i) {
        if (nextIds.contains(rows.at(i).id()))
            continue;
        const int last = i;
        while (i > 0 && !nextIds.contains(rows.at(i - 1).id()))
            --i;
        s.beginRemove(i, last);
        rows.remove(i, last - i + 1);
        s.endRemove();
    }
    // Now rows holds the kept records in the new order; insert the newcomers where `next` has them.
    for (int j = 0; j < int(next.size());) {
        if (oldIds.contains(next.at(j).id())) {
            ++j;
            continue;
        }
        const int first = j;
        while (j < int(next.size()) && !oldIds.contains(next.at(j).id()))
            ++j;
        s.beginInsert(first, j - 1);
        rows.insert(first, j - first, Record());
        for (int k = first; k < j; ++k)
            rows[k] = next.at(k);
        s.endInsert();
    }
}
