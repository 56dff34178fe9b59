"""Requests, answers and errors of the REST v2 interface, and the value conversions
every resource shares (ids, times, JSON bodies)."""

import datetime
import json

from ..store import int_from

_STATUS_NAMES = {400: "INVALID_ARGUMENT", 401: "UNAUTHENTICATED", 403: "PERMISSION_DENIED",
                 404: "NOT_FOUND", 405: "METHOD_NOT_ALLOWED", 409: "ALREADY_EXISTS",
                 413: "INVALID_ARGUMENT", 415: "INVALID_ARGUMENT", 500: "INTERNAL"}


class RestError(Exception):
    """A failure answered in the API's own Error envelope."""

    def __init__(self, status, message, resource=""):
        super().__init__(message)
        self.status, self.message, self.resource = status, message, resource

    def envelope(self):
        return {"code": self.status, "message": self.message,
                "status": _STATUS_NAMES.get(self.status, "UNKNOWN"),
                "details": [{"domain": "crm.rest.v2", "resource": self.resource}]}


def bad_request(message, resource=""):
    return RestError(400, message, resource)


def not_found(resource, record_id):
    return RestError(404, f"{resource} {record_id} not found", resource)


class RestRequest:
    """One REST call: path relative to the base, query as name -> values."""

    def __init__(self, method, path, query, headers, body):
        self.method, self.path, self.query = method, path, query
        self.headers, self.body = headers, body

    def one(self, name):
        """A query parameter given at most once; None when absent."""
        values = self.query.get(name)
        if not values:
            return None
        if len(values) > 1:
            raise bad_request(f"Query parameter {name} given more than once")
        return values[0]

    def update_mask(self):
        """update_mask as repeated parameters or one comma-joined value; None when absent."""
        values = self.query.get("update_mask")
        if values is None:
            return None
        return [part.strip() for value in values for part in value.split(",") if part.strip()]

    @property
    def content_type(self):
        return (self.headers.get("Content-Type") or "").split(";", 1)[0].strip().lower()

    def json(self):
        """The body as a JSON object (an empty body is an empty object)."""
        if not self.body:
            return {}
        if self.content_type not in ("application/json", ""):
            raise RestError(415, f"Expected application/json, got {self.content_type}")
        try:
            value = json.loads(self.body)
        except (ValueError, UnicodeDecodeError) as exc:
            raise bad_request(f"The body is not valid JSON: {exc}") from None
        if not isinstance(value, dict):
            raise bad_request("The body must be a JSON object")
        return value


class RestAnswer:
    def __init__(self, status, body=b"", content_type="application/json", headers=None):
        self.status, self.body, self.content_type = status, body, content_type
        self.headers = dict(headers or {})


def json_answer(status, value):
    return RestAnswer(status, (json.dumps(value, ensure_ascii=False) + "\n").encode("utf-8"))


def no_content():
    return RestAnswer(204, b"", "")


def rest_id(value, what):
    """A record id given as a string or a number (32-bit, as the store keeps them)."""
    if isinstance(value, float) and value.is_integer():
        value = int(value)
    number = int_from(value) if isinstance(value, (int, str)) else None
    if number is None or number < 1:
        raise bad_request(f"{what} must be a record id, got {value!r}")
    return number


def path_id(text, resource):
    """The id in a path; an id that can name no record is simply not found."""
    number = int_from(text)
    if number is None or number < 1:
        raise not_found(resource, text)
    return number


def text_value(body, name, max_length=None):
    """A text member of a request body: None when absent or null, else a string."""
    value = body.get(name)
    if value is None:
        return None
    if not isinstance(value, str):
        raise bad_request(f"{name} must be a string, got {value!r}")
    if max_length is not None and len(value) > max_length:
        raise bad_request(f"{name} is longer than {max_length} characters")
    return value


def number_value(body, name):
    value = body.get(name)
    if value is None:
        return None
    if isinstance(value, str):
        try:
            value = float(value)
        except ValueError:
            raise bad_request(f"{name} must be a number, got {value!r}") from None
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise bad_request(f"{name} must be a number, got {value!r}")
    return float(value)


def iso_time(stored):
    """A stored local date (20261102T09:30:00) as ISO-8601 UTC, or None."""
    if not stored:
        return None
    local = datetime.datetime.strptime(stored, "%Y%m%dT%H:%M:%S").astimezone()
    return local.astimezone(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")


def parse_iso(text):
    """An ISO-8601 time with a zone (Z, +hh:mm or +hhmm) as an aware datetime, or None."""
    try:
        value = datetime.datetime.fromisoformat(text.strip())
    except ValueError:
        return None
    return value if value.tzinfo is not None else None


def stored_time(aware):
    """An aware datetime in the store's local layout."""
    local = aware.astimezone()
    return "%04d%02d%02dT%02d:%02d:%02d" % (local.year, local.month, local.day,
                                            local.hour, local.minute, local.second)


def drop_empty(record):
    """A JSON object without its null members (the API leaves unset fields out)."""
    return {k: v for k, v in record.items() if v is not None and v != [] and v != {}}
