"""/contacts: REST v2 contacts over the store's Contact table (the same records
XML-RPC reads and writes)."""

from . import locales
from .core import (bad_request, drop_empty, iso_time, json_answer, no_content, not_found,
                   parse_iso, path_id, rest_id, text_value)
from .listing import COMPARE, FilterField, list_page

# REST name -> (Contact column, longest text the CRM takes).
NAMES = {"given_name": ("FirstName", 40), "middle_name": ("MiddleName", 100),
         "family_name": ("LastName", 40), "prefix": ("Title", 255),
         "job_title": ("JobTitle", 255), "preferred_name": ("Nickname", 100),
         "website": ("Website", 100), "contact_type": ("ContactType", 255)}
EMAIL_SLOTS = {"EMAIL1": ("Email", 75), "EMAIL2": ("EmailAddress2", 100),
               "EMAIL3": ("EmailAddress3", 100)}
# slot -> (number, extension, type) columns
PHONE_SLOTS = {"PHONE1": ("Phone1", "Phone1Ext", "Phone1Type"),
               "PHONE2": ("Phone2", "Phone2Ext", None)}
FAX_SLOTS = {"FAX1": ("Fax1", "Fax1Type")}
BILLING = ("StreetAddress1", "StreetAddress2", "City", "State", "PostalCode", "Country")
SHIPPING = ("Address2Street1", "Address2Street2")

WRITABLE = set(NAMES) | {"owner_id", "email_addresses", "phone_numbers", "fax_numbers",
                         "addresses", "company"}
# Every field the CRM lists for `fields`; the ones the store keeps are answered.
KNOWN_FIELDS = WRITABLE | {
    "id", "create_time", "update_time", "tag_ids", "anniversary_date", "birth_date",
    "custom_fields", "leadsource_id", "links", "notes", "origin", "preferred_locale",
    "referral_code", "score_value", "social_accounts", "source_type", "spouse_name", "suffix",
    "time_zone", "utm_parameters", "account_id", "assistant_name", "assistant_phone",
    "billing_information", "created_by", "groups", "last_updated_by"}
DEFAULT_FIELDS = {"id", "given_name", "family_name", "email_addresses", "phone_numbers"}
DUPLICATE_OPTIONS = ("Email", "EmailAndName", "EmailAndNameAndCompany")


# --- reading ------------------------------------------------------------


def _billing(row):
    if not any(row[c] for c in BILLING):
        return None
    place = locales.country(row["Country"]) if row["Country"] else None
    region, region_code = row["State"], None
    if region and place:
        found = locales.province(place[0], region)
        if found:
            region_code, region = found
    return drop_empty({"field": "BILLING", "line1": row["StreetAddress1"],
                       "line2": row["StreetAddress2"], "locality": row["City"],
                       "region": region, "region_code": region_code,
                       "postal_code": row["PostalCode"],
                       "country": place[2] if place else row["Country"],
                       "country_code": place[1] if place else None})


def _addresses(row):
    found = [_billing(row)]
    if row["Address2Street1"] or row["Address2Street2"]:
        found.append(drop_empty({"field": "SHIPPING", "line1": row["Address2Street1"],
                                 "line2": row["Address2Street2"]}))
    return [a for a in found if a]


def contact_json(row, fields=None):
    """A Contact with the requested fields (None: every field the store keeps)."""
    full = {
        "id": str(row["Id"]),
        **{name: row[col] for name, (col, _) in NAMES.items()},
        "owner_id": str(row["OwnerID"]) if row["OwnerID"] else None,
        "company": drop_empty({"id": str(row["CompanyID"]) if row["CompanyID"] else None,
                               "company_name": row["Company"]}),
        "email_addresses": [{"email": row[col], "field": slot, "is_opt_in": False,
                             "email_opt_status": "UNENGAGED_MARKETABLE"}
                            for slot, (col, _) in EMAIL_SLOTS.items() if row[col]],
        "phone_numbers": [drop_empty({"number": row[n], "extension": row[e],
                                      "type": row[t] if t else None, "field": slot})
                          for slot, (n, e, t) in PHONE_SLOTS.items() if row[n]],
        "fax_numbers": [drop_empty({"number": row[n], "type": row[t], "field": slot})
                        for slot, (n, t) in FAX_SLOTS.items() if row[n]],
        "addresses": _addresses(row),
        "tag_ids": [t for t in (row["Groups"] or "").split(",") if t],
        "create_time": iso_time(row["DateCreated"]),
        "update_time": iso_time(row["LastUpdated"]),
    }
    wanted = full.keys() if fields is None else fields | {"id"}
    return drop_empty({k: v for k, v in full.items() if k in wanted})


def _fields(request, default):
    text = request.one("fields")
    if text is None:
        return default
    names = {n.strip() for n in text.split(",") if n.strip()}
    unknown = sorted(names - KNOWN_FIELDS)
    if unknown:
        raise bad_request(f"Unknown contact fields: {', '.join(unknown)}", "contacts")
    return names


def _time(column):
    return lambda r: _aware(r[column])


def _aware(stored):
    text = iso_time(stored)
    return parse_iso(text) if text else None


FILTERS = {
    "email": FilterField("text", lambda r: [r[c] for c, _ in EMAIL_SLOTS.values()],
                         wildcard=True),
    "given_name": FilterField("text", lambda r: r["FirstName"], wildcard=True),
    "family_name": FilterField("text", lambda r: r["LastName"], wildcard=True),
    "middle_name": FilterField("text", lambda r: r["MiddleName"], wildcard=True),
    "city": FilterField("text", lambda r: r["City"], wildcard=True),
    "state": FilterField("text", lambda r: r["State"], wildcard=True),
    "company_id": FilterField("id", lambda r: r["CompanyID"]),
    "contact_id": FilterField("id", lambda r: r["Id"], ops=COMPARE),
    "ids": FilterField("ids", lambda r: r["Id"]),
    "start_update_time": FilterField("time", _time("LastUpdated"), eq_means=">="),
    "end_update_time": FilterField("time", _time("LastUpdated"), eq_means="<="),
}
ORDER = {"id": lambda r: r["Id"], "create_time": lambda r: r["DateCreated"],
         "update_time": lambda r: r["LastUpdated"], "email": lambda r: r["Email"]}


def list_contacts(api, request):
    fields = _fields(request, DEFAULT_FIELDS)
    return json_answer(200, list_page(request, api.store.rows("Contact"), FILTERS, ORDER, "id",
                                      "contacts", lambda r: contact_json(r, fields)))


def existing(api, contact_id):
    row = api.store.row("Contact", path_id(contact_id, "Contact"))
    if row is None:
        raise not_found("Contact", contact_id)
    return row


def referenced(api, value, resource):
    """The id of an existing contact named in a request body or form."""
    contact_id = rest_id(value, "contact_id")
    if not api.store.exists("Contact", contact_id):
        raise bad_request(f"Contact {contact_id} does not exist", resource)
    return contact_id


def get_contact(api, request, contact_id):
    row = existing(api, contact_id)
    return json_answer(200, contact_json(row, _fields(request, DEFAULT_FIELDS)))


def delete_contact(api, request, contact_id):
    row = existing(api, contact_id)
    api.store.delete("Contact", row["Id"])
    return no_content()


# --- writing ------------------------------------------------------------


def _objects(body, name):
    value = body.get(name)
    if value is None:
        return []
    if not isinstance(value, list) or not all(isinstance(v, dict) for v in value):
        raise bad_request(f"{name} must be a list of objects", "contacts")
    return value


def _slot(item, slots, name, taken):
    slot = item.get("field")
    if slot in (None, "", f"{name.upper()}_FIELD_UNSPECIFIED"):
        slot = next((s for s in slots if s not in taken), None)
        if slot is None:
            raise bad_request(f"Too many {name} entries", "contacts")
    if slot not in slots:
        raise bad_request(f"{name} field {slot!r} is not one this CRM keeps "
                          f"({', '.join(slots)})", "contacts")
    if slot in taken:
        raise bad_request(f"{name} field {slot} given twice", "contacts")
    taken.add(slot)
    return slot


def _emails(body, row):
    row.update({col: None for col, _ in EMAIL_SLOTS.values()})
    taken = set()
    for item in _objects(body, "email_addresses"):
        slot = _slot(item, EMAIL_SLOTS, "email", taken)
        col, longest = EMAIL_SLOTS[slot]
        row[col] = text_value(item, "email", longest) or None


def _phones(body, row):
    for cols in PHONE_SLOTS.values():
        row.update({c: None for c in cols if c})
    taken = set()
    for item in _objects(body, "phone_numbers"):
        number, ext, kind = PHONE_SLOTS[_slot(item, PHONE_SLOTS, "phone_number", taken)]
        row[number] = text_value(item, "number", 40) or None
        row[ext] = text_value(item, "extension", 20) or None
        if kind:
            row[kind] = text_value(item, "type", 40) or None


def _faxes(body, row):
    row.update({"Fax1": None, "Fax1Type": None})
    taken = set()
    for item in _objects(body, "fax_numbers"):
        number, kind = FAX_SLOTS[_slot(item, FAX_SLOTS, "fax_number", taken)]
        row[number] = text_value(item, "number", 40) or None
        row[kind] = text_value(item, "type", 40) or None


def _region(item, alpha2):
    code, name = text_value(item, "region_code"), text_value(item, "region")
    if code:
        found = locales.province(alpha2, code) if alpha2 else None
        if found is None or not code.upper().startswith(f"{alpha2}-"):
            raise bad_request(f"region_code {code!r} is no province of the country", "contacts")
        return found[0].split("-", 1)[1]
    if name:
        found = locales.province(alpha2, name) if alpha2 else None
        return found[0].split("-", 1)[1] if found else name
    return None


def _billing_row(item):
    code = text_value(item, "country_code")
    has_region = bool(text_value(item, "region_code") or text_value(item, "region"))
    if has_region and not code:
        raise bad_request("country_code is required when a region is given", "contacts")
    place = None
    if code:
        place = locales.country(code)
        if place is None or code.upper() != place[1]:
            raise bad_request(f"country_code {code!r} is no ISO 3166-1 alpha-3 code", "contacts")
    country = place[2] if place else text_value(item, "country")
    return {"StreetAddress1": text_value(item, "line1", 75),
            "StreetAddress2": text_value(item, "line2", 75),
            "City": text_value(item, "locality", 50),
            "State": _region(item, place[0] if place else None),
            "PostalCode": text_value(item, "postal_code", 15) or text_value(item, "zip_code", 15),
            "Country": country}


def _addresses_row(body, row):
    row.update({c: None for c in BILLING + SHIPPING})
    taken = set()
    for item in _objects(body, "addresses"):
        slot = _slot(item, ("BILLING", "SHIPPING"), "address", taken)
        if slot == "BILLING":
            row.update({k: v or None for k, v in _billing_row(item).items()})
        else:
            row["Address2Street1"] = text_value(item, "line1", 100) or None
            row["Address2Street2"] = text_value(item, "line2", 100) or None


def _company(api, body, row):
    company = body.get("company")
    if company is None or company == {}:
        row["CompanyID"], row["Company"] = None, None
        return
    if not isinstance(company, dict):
        raise bad_request("company must be an object", "contacts")
    if company.get("id") is not None:
        company_id = rest_id(company["id"], "company.id")
        found = api.store.row("Company", company_id)
        if found is None:
            raise bad_request(f"Company {company_id} does not exist", "contacts")
        row["CompanyID"], row["Company"] = company_id, found["Company"]
        return
    name = text_value(company, "company_name")
    # A name alone links the company of that name, made if there is none (our choice).
    row["Company"] = name or None
    row["CompanyID"] = api.store.company_named(name) if name else None


_WRITERS = {"email_addresses": _emails, "phone_numbers": _phones, "fax_numbers": _faxes,
            "addresses": _addresses_row}


def contact_row(api, body, names):
    """The store columns for the named request fields of a body (replace semantics:
    a named list or object left out of the body is cleared)."""
    row = {}
    for name in names:
        if name in NAMES:
            col, longest = NAMES[name]
            row[col] = text_value(body, name, longest) or None
        elif name == "owner_id":
            row["OwnerID"] = rest_id(body["owner_id"], "owner_id") if body.get("owner_id") else None
        elif name == "company":
            _company(api, body, row)
        else:
            _WRITERS[name](body, row)
    return row


def _duplicate(api, body, option):
    emails = [e.get("email") for e in _objects(body, "email_addresses")
              if e.get("field") in (None, "EMAIL1")]
    email = (emails[0] or "") if emails else ""
    if not email:
        return None
    wanted = [("Email", email)]
    if option != "Email":
        wanted += [("FirstName", body.get("given_name") or ""),
                   ("LastName", body.get("family_name") or "")]
    if option == "EmailAndNameAndCompany":
        wanted.append(("Company", (body.get("company") or {}).get("company_name") or ""))
    for row in api.store.rows("Contact"):
        if all((row[col] or "").casefold() == str(value).casefold() for col, value in wanted):
            return row
    return None


def create_contact(api, request):
    body = request.json()
    option = request.one("duplicate_option")
    if option is not None and option not in DUPLICATE_OPTIONS:
        raise bad_request(f"duplicate_option must be one of {', '.join(DUPLICATE_OPTIONS)}",
                          "contacts")
    if not any(_objects(body, name) for name in ("email_addresses", "phone_numbers",
                                                  "addresses")):
        raise bad_request("A contact needs at least one of email_addresses, phone_numbers "
                          "or addresses", "contacts")
    fields = _fields(request, None)
    with api.store.lock:
        row = contact_row(api, body, WRITABLE & body.keys())
        match = _duplicate(api, body, option) if option else None
        if match is not None:
            api.store.change("Contact", match["Id"], row)
            return json_answer(200, contact_json(api.store.row("Contact", match["Id"]), fields))
        new_id = api.store.create("Contact", row)
        return json_answer(201, contact_json(api.store.row("Contact", new_id), fields))


def update_contact(api, request, contact_id):
    body = request.json()
    mask = request.update_mask()
    names = set(mask) if mask is not None else WRITABLE & body.keys()
    unknown = sorted(names - WRITABLE)
    if unknown:
        raise bad_request(f"update_mask names fields that cannot be updated: "
                          f"{', '.join(unknown)}", "contacts")
    with api.store.lock:
        row = existing(api, contact_id)
        api.store.change("Contact", row["Id"], contact_row(api, body, names))
        return json_answer(200, contact_json(api.store.row("Contact", row["Id"]),
                                             _fields(request, None)))


ROUTES = [
    ("GET", "/contacts", list_contacts),
    ("POST", "/contacts", create_contact),
    ("GET", "/contacts/{id}", get_contact),
    ("PATCH", "/contacts/{id}", update_contact),
    ("DELETE", "/contacts/{id}", delete_contact),
]
