#include "pellwick/host/HostFields.h"

#include <QHash>

namespace pellwick::hostfields {

const QStringList& documentFieldNames() {
    static const QStringList names{
        QStringLiteral("DocNo"),           QStringLiteral("DocName"),
        QStringLiteral("GrandTotal"),      QStringLiteral("IntroductionNotes"),
        QStringLiteral("PurchasingNotes"), QStringLiteral("ClosingNotes"),
        QStringLiteral("InternalNotes")};
    return names;
}

const QStringList& sectionFieldNames() {
    static const QStringList names{
        QStringLiteral("Company"),  QStringLiteral("Contact"),  QStringLiteral("Title"),
        QStringLiteral("Address1"), QStringLiteral("Address2"), QStringLiteral("Address3"),
        QStringLiteral("City"),     QStringLiteral("State"),    QStringLiteral("PostalCode"),
        QStringLiteral("Country"),  QStringLiteral("Phone"),    QStringLiteral("PhoneExt"),
        QStringLiteral("Fax"),      QStringLiteral("FaxExt"),   QStringLiteral("Email")};
    return names;
}

QString sectionPrefix(int contactType) {
    switch (contactType) {
    case 0:
        return QStringLiteral("SoldTo");
    case 1:
        return QStringLiteral("ShipTo");
    case 2:
        return QStringLiteral("BillTo");
    default:
        return {};
    }
}

const QStringList& allFieldNames() {
    static const QStringList names = [] {
        QStringList all = documentFieldNames();
        for (int type = 0; type < 3; ++type)
            for (const QString& field : sectionFieldNames())
                all << sectionPrefix(type) + field;
        return all;
    }();
    return names;
}

QString canonicalName(const QString& name) {
    static const QHash<QString, QString> lookup = [] {
        QHash<QString, QString> byLowerCase;
        for (const QString& field : allFieldNames())
            byLowerCase.insert(field.toLower(), field);
        return byLowerCase;
    }();
    return lookup.value(name.toLower());
}

} // namespace pellwick::hostfields
