"""/files: the store's file box (FileBox), uploaded as multipart/form-data and kept
byte for byte."""

import base64

from ..store import file_extension, now_key
from . import contacts
from .core import (RestAnswer, bad_request, drop_empty, iso_time, json_answer, no_content,
                   not_found, path_id)
from .listing import FilterField, list_page
from .multipart import parse_form

ASSOCIATIONS = ("CONTACT", "USER")
UPDATABLE = ("file", "file_name", "is_public")


def file_json(row):
    return drop_empty({"id": str(row["Id"]), "file_name": row["FileName"],
                       "file_size": row["FileSize"] or 0,
                       "contact_id": str(row["ContactId"]) if row["ContactId"] else None,
                       "is_public": bool(row["Public"]), "category": "DOCUMENTS",
                       "file_box_type": "CONTACT" if row["ContactId"] else "APPLICATION",
                       "created_by_id": str(row["CreatedBy"]) if row["CreatedBy"] else None,
                       "remote_file_key": f"files/{row['Id']}/{row['FileName']}",
                       "created_time": iso_time(row["DateCreated"]),
                       "updated_time": iso_time(row["LastUpdated"])})


FILTERS = {
    "contact_id": FilterField("id", lambda r: r["ContactId"]),
    "user_id": FilterField("id", lambda r: r["CreatedBy"]),
    "file_name": FilterField("text", lambda r: r["FileName"]),
    "is_public": FilterField("bool", lambda r: r["Public"]),
    "file_box_type": FilterField("text", lambda r: "CONTACT" if r["ContactId"] else "APPLICATION"),
    "category": FilterField("text", lambda r: "DOCUMENTS"),
}
ORDER = {"id": lambda r: r["Id"], "file_name": lambda r: r["FileName"],
         "created_time": lambda r: r["DateCreated"], "updated_time": lambda r: r["LastUpdated"]}


def list_files(api, request):
    return json_answer(200, list_page(request, api.store.rows("FileBox"), FILTERS, ORDER, "id",
                                      "files", file_json))


def _existing(api, file_id):
    row = api.store.row("FileBox", path_id(file_id, "File"))
    if row is None:
        raise not_found("File", file_id)
    return row


def _flag(part):
    text = part.text().strip().lower()
    if text not in ("true", "false"):
        raise bad_request(f"{part.name} must be true or false, got {text!r}", "files")
    return 1 if text == "true" else 0


def _name(part):
    name = part.text()
    if not name.strip():
        raise bad_request("file_name must not be empty", "files")
    return name


def create_file(api, request):
    if request.query:
        raise bad_request("createFile takes its parameters as multipart form parts, not in "
                          f"the query string ({', '.join(sorted(request.query))})", "files")
    parts = parse_form(request)
    missing = [n for n in ("file", "file_name", "file_association") if n not in parts]
    if missing:
        raise bad_request(f"Missing form parts: {', '.join(missing)}", "files")
    association = parts["file_association"].text().strip()
    if association not in ASSOCIATIONS:
        raise bad_request(f"file_association must be one of {', '.join(ASSOCIATIONS)}", "files")
    contact_id = 0
    if association == "CONTACT":
        if "contact_id" not in parts:
            raise bad_request("contact_id is required for a CONTACT file", "files")
        contact_id = contacts.referenced(api, parts["contact_id"].text().strip(), "files")
    name, data = _name(parts["file_name"]), parts["file"].data
    stamp = now_key()
    new_id = api.store.insert("FileBox", {
        "ContactId": contact_id, "FileName": name, "FileSize": len(data),
        "Extension": file_extension(name), "Data": data, "CreatedBy": api.key_user_id(),
        "Public": _flag(parts["is_public"]) if "is_public" in parts else 0,
        "DateCreated": stamp, "LastUpdated": stamp})
    return json_answer(201, file_json(api.store.row("FileBox", new_id)))


def update_file(api, request, file_id):
    parts = parse_form(request)
    mask = request.update_mask()
    names = set(mask) if mask is not None else set(UPDATABLE) & parts.keys()
    unknown = sorted(names - set(UPDATABLE))
    if unknown:
        raise bad_request(f"update_mask names unknown fields: {', '.join(unknown)}", "files")
    missing = sorted(names - parts.keys())
    if missing:
        raise bad_request(f"update_mask names parts the form lacks: {', '.join(missing)}",
                          "files")
    row = {"LastUpdated": now_key()}
    if "file" in names:
        row.update(Data=parts["file"].data, FileSize=len(parts["file"].data))
    if "file_name" in names:
        name = _name(parts["file_name"])
        row.update(FileName=name, Extension=file_extension(name))
    if "is_public" in names:
        row["Public"] = _flag(parts["is_public"])
    with api.store.lock:
        existing = _existing(api, file_id)
        sets = ", ".join(f'"{n}" = ?' for n in row)
        api.store.execute(f'UPDATE "FileBox" SET {sets} WHERE Id = ?',
                          [*row.values(), existing["Id"]])
        return json_answer(200, file_json(api.store.row("FileBox", existing["Id"])))


def get_file(api, request, file_id):
    return json_answer(200, file_json(_existing(api, file_id)))


def get_file_data(api, request, file_id):
    data = bytes(_existing(api, file_id)["Data"] or b"")
    if api.settings.file_data == "base64":
        return json_answer(200, base64.b64encode(data).decode("ascii"))
    return RestAnswer(200, data, "application/octet-stream")


def delete_file(api, request, file_id):
    row = _existing(api, file_id)
    api.store.execute('DELETE FROM "FileBox" WHERE Id = ?', (row["Id"],))
    return no_content()


ROUTES = [
    ("GET", "/files", list_files),
    ("POST", "/files", create_file),
    ("GET", "/files/{id}:data", get_file_data),
    ("GET", "/files/{id}", get_file),
    ("POST", "/files/{id}", update_file),
    ("DELETE", "/files/{id}", delete_file),
]
