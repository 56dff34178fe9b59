"""Notes (/contacts/{id}/notes and /notes): the store's ContactAction records."""

from . import contacts
from .core import (bad_request, drop_empty, iso_time, json_answer, no_content, not_found,
                   parse_iso, path_id, rest_id, text_value)
from .listing import ALL_OPS, FilterField, list_page, parse_filter

# REST name -> ContactAction column
TEXTS = {"title": "ActionDescription", "text": "CreationNotes", "type": "ActionType"}
UPDATABLE = set(TEXTS) | {"user_id", "contact_id", "is_pinned", "custom_fields"}


def note_json(api, row):
    user = api.store.row("User", row["UserID"]) if row["UserID"] else None
    assigned = None
    if user is not None:
        assigned = drop_empty({"id": str(user["Id"]), "given_name": user["FirstName"],
                               "family_name": user["LastName"], "email_address": user["Email"]})
    user_id = str(row["UserID"]) if row["UserID"] else None
    return drop_empty({"id": str(row["Id"]),
                       **{name: row[col] for name, col in TEXTS.items()},
                       "contact_id": str(row["ContactId"]) if row["ContactId"] else None,
                       "assigned_to_user": assigned,
                       "created_by_user_id": user_id, "last_updated_by_user_id": user_id,
                       "create_time": iso_time(row["CreationDate"]),
                       "update_time": iso_time(row["LastUpdated"])})


def _created(row):
    text = iso_time(row["CreationDate"])
    return parse_iso(text) if text else None


FILTERS = {
    "id": FilterField("id", lambda r: r["Id"], ops=ALL_OPS),
    "ids": FilterField("ids", lambda r: r["Id"]),
    # A bare title matches anywhere in the title; title==x* is a prefix.
    "title": FilterField("text", lambda r: r["ActionDescription"], wildcard=True, contains=True),
    "contact_id": FilterField("id", lambda r: r["ContactId"]),
    "assigned_to_user_id": FilterField("id", lambda r: r["UserID"]),
    "since_time": FilterField("time", _created, eq_means=">="),
    "until_time": FilterField("time", _created, eq_means="<="),
}
ORDER = {"id": lambda r: r["Id"], "create_time": lambda r: r["CreationDate"],
         "update_time": lambda r: r["LastUpdated"]}


def _list(api, request, rows):
    named = {clause.name for clause in parse_filter(request.one("filter"), FILTERS)}
    if {"ids", "id"} <= named:
        raise bad_request("Filter ids cannot be combined with id", "notes")
    return json_answer(200, list_page(request, rows, FILTERS, ORDER, "id", "notes",
                                      lambda r: note_json(api, r)))


def list_contact_notes(api, request, contact_id):
    contact = contacts.existing(api, contact_id)
    return _list(api, request, api.store.rows("ContactAction", "ContactId = ?", (contact["Id"],)))


def list_all_notes(api, request):
    return _list(api, request, api.store.rows("ContactAction"))


def _note(api, contact_id, note_id):
    contact = contacts.existing(api, contact_id)
    row = api.store.row("ContactAction", path_id(note_id, "Note"))
    if row is None or row["ContactId"] != contact["Id"]:
        raise not_found("Note", note_id)
    return row


def _user(api, body):
    if body.get("user_id") in (None, ""):
        raise bad_request("user_id is required", "notes")
    user_id = rest_id(body["user_id"], "user_id")
    if not api.store.exists("User", user_id):
        raise bad_request(f"User {user_id} does not exist", "notes")
    return user_id


def note_row(api, body, names):
    row = {col: text_value(body, name) or None for name, col in TEXTS.items() if name in names}
    if "contact_id" in names:
        row["ContactId"] = contacts.referenced(api, body.get("contact_id"), "notes")
    row["UserID"] = _user(api, body)
    return row


def create_note(api, request, contact_id):
    body = request.json()
    if not (text_value(body, "title") or text_value(body, "type")):
        raise bad_request("A note needs a title or a type", "notes")
    with api.store.lock:
        contact = contacts.existing(api, contact_id)
        row = note_row(api, body, set(TEXTS))
        row["ContactId"] = contact["Id"]
        new_id = api.store.create("ContactAction", row)
        return json_answer(201, note_json(api, api.store.row("ContactAction", new_id)))


def get_note(api, request, contact_id, note_id):
    return json_answer(200, note_json(api, _note(api, contact_id, note_id)))


def update_note(api, request, contact_id, note_id):
    body = request.json()
    mask = request.update_mask()
    names = set(mask) if mask is not None else UPDATABLE & body.keys()
    unknown = sorted(names - UPDATABLE)
    if unknown:
        raise bad_request(f"update_mask names unknown fields: {', '.join(unknown)}", "notes")
    with api.store.lock:
        row = _note(api, contact_id, note_id)
        api.store.change("ContactAction", row["Id"], note_row(api, body, names))
        return json_answer(200, note_json(api, api.store.row("ContactAction", row["Id"])))


def delete_note(api, request, contact_id, note_id):
    row = _note(api, contact_id, note_id)
    api.store.delete("ContactAction", row["Id"])
    return no_content()


ROUTES = [
    ("GET", "/contacts/{id}/notes", list_contact_notes),
    ("POST", "/contacts/{id}/notes", create_note),
    ("GET", "/contacts/{id}/notes/{id}", get_note),
    ("PATCH", "/contacts/{id}/notes/{id}", update_note),
    ("DELETE", "/contacts/{id}/notes/{id}", delete_note),
    ("GET", "/notes", list_all_notes),
]
