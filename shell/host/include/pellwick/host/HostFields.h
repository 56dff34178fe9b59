#pragma once
// The field names of the host's documents, as GetFieldValue and SetFieldValue take them.
// The host compares them without regard to case.

#include <QString>
#include <QStringList>

namespace pellwick::hostfields {

// "DocNo", "DocName", "GrandTotal", "IntroductionNotes", "PurchasingNotes",
// "ClosingNotes", "InternalNotes".
const QStringList& documentFieldNames();
// The fifteen fields of a contact section, without the section prefix: "Company",
// "Contact", "Title", "Address1", "Address2", "Address3", "City", "State", "PostalCode",
// "Country", "Phone", "PhoneExt", "Fax", "FaxExt", "Email".
const QStringList& sectionFieldNames();
// "SoldTo", "ShipTo", "BillTo" for contact types 0, 1, 2; empty for any other type.
QString sectionPrefix(int contactType);
// Every field: the document fields, then each section's fields with its prefix.
const QStringList& allFieldNames();
// The canonical spelling of a field name given in any case ("SoldToPhoneext" gives
// "SoldToPhoneExt"); empty when the host has no such field.
QString canonicalName(const QString& name);

} // namespace pellwick::hostfields
