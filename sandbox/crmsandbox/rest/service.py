"""The REST v2 interface: key checking, routing to the resources, errors and the
quota headers. One answer per call, never an exception."""

import hmac
import json
import re
import sys
from urllib.parse import unquote

from ..store import CrmFault
from . import account, campaigns, companies, contacts, files, locales, notes, opportunities
from .core import RestError, json_answer
from .multipart import summarize
from .quota import Quota

BASE = "/crm/rest/v2"
KEY_HEADER = "X-Keap-API-Key"
KEY_HEADER_MODES = ("both", "x-keap-api-key", "bearer")
UNAUTHORIZED_FORMS = ("fault", "error")
FILE_DATA_FORMS = ("raw", "base64")
# The one call a limited key may still make: reading who it is.
LIMITED_KEY_ALLOWS = "GET /oauth/connect/userinfo"


class RestSettings:
    """What the admin endpoint switches: which key header counts, how a wrong key is
    answered, whether the key is a limited one, how file data is sent, the default
    stage the configuration names (None: the first stage; "": none) and the key's user."""

    FIELDS = ("key_header", "unauthorized", "limited", "file_data", "default_stage", "key_user")

    def __init__(self):
        self.key_header, self.unauthorized, self.limited = "both", "fault", False
        self.file_data, self.default_stage, self.key_user = "raw", None, None

    def update(self, changes):
        unknown = sorted(set(changes) - set(self.FIELDS))
        if unknown:
            raise ValueError(f"unknown REST settings: {', '.join(unknown)}; "
                             f"known: {', '.join(self.FIELDS)}")
        checked = {}
        for name, value in changes.items():
            checked[name] = self._check(name, value)
        for name, value in checked.items():
            setattr(self, name, value)

    @staticmethod
    def _check(name, value):
        choices = {"key_header": KEY_HEADER_MODES, "unauthorized": UNAUTHORIZED_FORMS,
                   "file_data": FILE_DATA_FORMS}
        if name in choices:
            if value not in choices[name]:
                raise ValueError(f"{name} must be one of {', '.join(choices[name])}")
        elif name == "limited":
            if not isinstance(value, bool):
                raise ValueError("limited must be true or false")
        elif name == "default_stage":
            if value is not None and not isinstance(value, str):
                raise ValueError("default_stage must be text or null")
        elif value is not None and (isinstance(value, bool) or not isinstance(value, int)
                                    or value < 1):
            raise ValueError("key_user must be a user id or null")
        return value

    def snapshot(self):
        return {name: getattr(self, name) for name in self.FIELDS}


class Route:
    def __init__(self, method, template, handler):
        self.method, self.template, self.handler = method, template, handler
        pieces = (re.escape(piece) for piece in template.split("{id}"))
        self.pattern = re.compile("([^/:]+)".join(pieces))

    def match(self, path):
        found = self.pattern.fullmatch(path)
        return None if found is None else [unquote(g) for g in found.groups()]


class RestApi:
    def __init__(self, store, crm, api_key, app):
        self.store, self.crm, self.api_key, self.app = store, crm, api_key, app
        self.settings = RestSettings()
        self.tenant = f"{app}.localhost"
        self.quota = Quota(self.tenant)
        self.routes = [Route(*r) for module in (contacts, notes, companies, opportunities, files,
                                                campaigns, account, locales)
                       for r in module.ROUTES]

    def key_user_id(self):
        """The user the key belongs to: the admin's choice, else the first user."""
        if self.settings.key_user is not None:
            return self.settings.key_user
        rows = self.store.execute('SELECT MIN(Id) FROM "User"')
        return rows[0][0] if rows and rows[0][0] else None

    def _route(self, method, path):
        """(route, path values) for a call; route None when nothing serves the path."""
        for route in self.routes:
            if route.method == method:
                values = route.match(path)
                if values is not None:
                    return route, values
        return None, None

    def operation(self, method, path):
        """The call's operation, as fault targeting and the log name it:
        "POST /contacts/{id}/notes"."""
        route, _ = self._route(method, path)
        return f"{method} {route.template if route else path}"

    @staticmethod
    def key_form(headers):
        """Which of the key's forms the call carried: x-keap-api-key, bearer, both or none."""
        header = headers.get(KEY_HEADER) is not None
        bearer = (headers.get("Authorization") or "").lower().startswith("bearer ")
        return {(True, True): "both", (True, False): "x-keap-api-key",
                (False, True): "bearer", (False, False): "none"}[(header, bearer)]

    def _key_accepted(self, headers):
        offered = []
        if self.settings.key_header in ("both", "x-keap-api-key"):
            offered.append(headers.get(KEY_HEADER))
        if self.settings.key_header in ("both", "bearer"):
            auth = headers.get("Authorization") or ""
            offered.append(auth[7:].strip() if auth.lower().startswith("bearer ") else None)
        return any(k is not None and hmac.compare_digest(k.encode(), self.api_key.encode())
                   for k in offered)

    def _unauthorized(self):
        if self.settings.unauthorized == "fault":
            return json_answer(401, {"fault": {
                "faultstring": "Invalid Access Token",
                "detail": {"errorcode": "oauth.v2.InvalidAccessToken"}}})
        return json_answer(401, RestError(401, "The API key is not valid for this application")
                           .envelope())

    def answer(self, request):
        """The answer to one call, quota headers included."""
        answer = self._answer(request)
        answer.headers.update(self.quota.count())
        return answer

    def _answer(self, request):
        if not self._key_accepted(request.headers):
            return self._unauthorized()
        operation = self.operation(request.method, request.path)
        if self.settings.limited and operation != LIMITED_KEY_ALLOWS:
            return json_answer(403, RestError(403, "The key's user lacks the permission for "
                                                   f"{operation}").envelope())
        route, values = self._route(request.method, request.path)
        try:
            if route is None:
                raise self._no_route(request)
            return route.handler(self, request, *values)
        except RestError as error:
            return json_answer(error.status, error.envelope())
        except CrmFault as fault:
            return json_answer(400, RestError(400, fault.text).envelope())
        except Exception as exc:  # a bug here must not cost the client its answer
            print(f"sandbox: {operation} failed: {exc!r}", file=sys.stderr)
            return json_answer(500, RestError(500, f"{type(exc).__name__}: {exc}").envelope())

    def _no_route(self, request):
        if any(r.match(request.path) is not None for r in self.routes):
            return RestError(405, f"{request.method} is not allowed on {request.path}")
        return RestError(404, f"No operation at {request.path}")

    @staticmethod
    def body_for_log(request):
        """The request body as the call log keeps it: JSON, form parts (never a file's
        bytes) or the start of the text."""
        if not request.body:
            return None
        if request.content_type == "multipart/form-data":
            return {"parts": summarize(request)}
        try:
            return json.loads(request.body)
        except (ValueError, UnicodeDecodeError):
            return request.body[:500].decode("utf-8", "replace")

