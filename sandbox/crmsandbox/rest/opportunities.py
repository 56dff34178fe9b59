"""/opportunities and their stages: the store's Lead and Stage tables."""

from .core import (bad_request, drop_empty, iso_time, json_answer, no_content, not_found,
                   number_value, parse_iso, path_id, rest_id, stored_time, text_value)
from .listing import COMPARE, FilterField, list_page, parse_filter

# REST name -> Lead column, for the plain text and number members.
TEXTS = {"opportunity_title": "OpportunityTitle", "opportunity_notes": "OpportunityNotes",
         "next_action_notes": "NextActionNotes"}
NUMBERS = {"projected_revenue_low": "ProjectedRevenueLow",
           "projected_revenue_high": "ProjectedRevenueHigh"}
TIMES = {"estimated_close_time": "EstimatedCloseDate", "next_action_time": "NextActionDate"}
IDS = {"contact_id": "ContactID", "stage_id": "StageID", "user_id": "UserID",
       "affiliate_id": "AffiliateId"}
UPDATABLE = set(TEXTS) | set(NUMBERS) | set(TIMES) | set(IDS) | {"include_in_forecast",
                                                                 "custom_fields"}
REQUIRED = ("contact_id", "opportunity_title", "stage_id")


def stage_json(row):
    return drop_empty({"id": str(row["Id"]), "name": row["StageName"],
                       "order": row["StageOrder"], "target_number_days": row["TargetNumDays"],
                       "probability": 0})


def _embedded_stage(stage):
    if stage is None:
        return None
    return {"id": str(stage["Id"]), "name": stage["StageName"],
            "details": drop_empty({"stage_order": stage["StageOrder"],
                                   "target_num_days": stage["TargetNumDays"],
                                   "probability": 0})}


def _embedded_contact(contact, contact_id):
    if contact is None:
        return {"id": str(contact_id)} if contact_id else None
    return drop_empty({"id": str(contact["Id"]), "email": contact["Email"],
                       "first_name": contact["FirstName"], "last_name": contact["LastName"],
                       "company_name": contact["Company"], "job_title": contact["JobTitle"],
                       "phone_number": contact["Phone1"], "city": contact["City"],
                       "state": contact["State"]})


def _embedded_user(user):
    if user is None:
        return None
    return drop_empty({"id": str(user["Id"]), "first_name": user["FirstName"],
                       "last_name": user["LastName"]})


def opportunity_json(api, row):
    store = api.store
    contact = store.row("Contact", row["ContactID"]) if row["ContactID"] else None
    stage = store.row("Stage", row["StageID"]) if row["StageID"] else None
    user = store.row("User", row["UserID"]) if row["UserID"] else None
    return drop_empty({
        "id": str(row["Id"]),
        "contact": _embedded_contact(contact, row["ContactID"]),
        "stage": _embedded_stage(stage),
        "user": _embedded_user(user),
        **{name: row[col] for name, col in TEXTS.items()},
        **{name: row[col] for name, col in NUMBERS.items()},
        **{name: iso_time(row[col]) for name, col in TIMES.items()},
        "affiliate_id": str(row["AffiliateId"]) if row["AffiliateId"] else None,
        "lead_source": row["Leadsource"],
        "include_in_forecast": True,
        "created_time": iso_time(row["DateCreated"]),
        "last_updated_time": iso_time(row["LastUpdated"]),
    })


def _existing_reference(api, table, record_id, name):
    if not api.store.exists(table, record_id):
        raise bad_request(f"{name} {record_id} does not exist", "opportunities")
    return record_id


def lead_row(api, body, names):
    """Lead columns for the named members of a request body."""
    row = {}
    for name in names:
        if name in TEXTS:
            row[TEXTS[name]] = text_value(body, name) or None
        elif name in NUMBERS:
            row[NUMBERS[name]] = number_value(body, name)
        elif name in TIMES:
            text = text_value(body, name)
            moment = parse_iso(text) if text else None
            if text and moment is None:
                raise bad_request(f"{name} must be an ISO-8601 time with a zone", "opportunities")
            row[TIMES[name]] = stored_time(moment) if moment else None
        elif name in IDS:
            value = body.get(name)
            number = rest_id(value, name) if value not in (None, "") else None
            if number is not None and name in ("contact_id", "stage_id", "user_id"):
                table = {"contact_id": "Contact", "stage_id": "Stage", "user_id": "User"}[name]
                _existing_reference(api, table, number, table)
            row[IDS[name]] = number
    return row


def _existing(api, opportunity_id):
    row = api.store.row("Lead", path_id(opportunity_id, "Opportunity"))
    if row is None:
        raise not_found("Opportunity", opportunity_id)
    return row


FILTERS = {
    "contact_id": FilterField("id", lambda r: r["ContactID"]),
    "stage_id": FilterField("id", lambda r: r["StageID"]),
    "user_id": FilterField("id", lambda r: r["UserID"]),
    "opportunity_title": FilterField("text", lambda r: r["OpportunityTitle"], wildcard=True),
    "opportunity_id": FilterField("id", lambda r: r["Id"], ops=COMPARE),
    "ids": FilterField("ids", lambda r: r["Id"]),
    "projected_revenue_high": FilterField("number", lambda r: r["ProjectedRevenueHigh"],
                                          ops=COMPARE),
    "projected_revenue_low": FilterField("number", lambda r: r["ProjectedRevenueLow"],
                                         ops=COMPARE),
}
ORDER = {"id": lambda r: r["Id"], "opportunity_title": lambda r: r["OpportunityTitle"],
         "created_time": lambda r: r["DateCreated"], "update_time": lambda r: r["LastUpdated"],
         "next_action_time": lambda r: r["NextActionDate"]}


def list_opportunities(api, request):
    named = {clause.name for clause in parse_filter(request.one("filter"), FILTERS)}
    if {"ids", "opportunity_id"} <= named:
        raise bad_request("Filter ids cannot be combined with opportunity_id", "opportunities")
    return json_answer(200, list_page(request, api.store.rows("Lead"), FILTERS, ORDER, "id",
                                      "opportunities", lambda r: opportunity_json(api, r)))


def get_opportunity(api, request, opportunity_id):
    return json_answer(200, opportunity_json(api, _existing(api, opportunity_id)))


def create_opportunity(api, request):
    body = request.json()
    missing = [name for name in REQUIRED if body.get(name) in (None, "")]
    if missing:
        raise bad_request(f"Missing required fields: {', '.join(missing)}", "opportunities")
    with api.store.lock:
        row = lead_row(api, body, UPDATABLE & body.keys())
        row.setdefault("UserID", api.key_user_id())
        new_id = api.store.create("Lead", row)
        return json_answer(201, opportunity_json(api, api.store.row("Lead", new_id)))


def update_opportunity(api, request, opportunity_id):
    body = request.json()
    mask = request.update_mask()
    names = set(mask) if mask is not None else UPDATABLE & body.keys()
    unknown = sorted(names - UPDATABLE)
    if unknown:
        raise bad_request(f"update_mask names unknown fields: {', '.join(unknown)}",
                          "opportunities")
    for name in names & set(REQUIRED):
        if body.get(name) in (None, ""):
            raise bad_request(f"{name} cannot be cleared", "opportunities")
    with api.store.lock:
        row = _existing(api, opportunity_id)
        api.store.change("Lead", row["Id"], lead_row(api, body, names))
        return json_answer(200, opportunity_json(api, api.store.row("Lead", row["Id"])))


def delete_opportunity(api, request, opportunity_id):
    row = _existing(api, opportunity_id)
    api.store.delete("Lead", row["Id"])
    return no_content()


STAGE_FILTERS = {
    "opportunity_stage_name": FilterField("text", lambda r: r["StageName"], wildcard=True),
    "opportunity_stage_id": FilterField("id", lambda r: r["Id"], ops=COMPARE),
}
STAGE_ORDER = {"id": lambda r: r["Id"], "stage_order": lambda r: r["StageOrder"]}


def list_stages(api, request):
    return json_answer(200, list_page(request, api.store.rows("Stage"), STAGE_FILTERS,
                                      STAGE_ORDER, "id", "stages", stage_json))


def get_stage(api, request, stage_id):
    row = api.store.row("Stage", path_id(stage_id, "Stage"))
    if row is None:
        raise not_found("Stage", stage_id)
    return json_answer(200, stage_json(row))


def default_stage(api):
    """The configured default stage: the admin's override, else the first by order."""
    if api.settings.default_stage is not None:
        return api.settings.default_stage or None
    rows = api.store.execute('SELECT Id FROM "Stage" ORDER BY StageOrder, Id LIMIT 1')
    return str(rows[0][0]) if rows else None


def get_configuration(api, request):
    return json_answer(200, {"opportunity": drop_empty({"default_stage": default_stage(api)}),
                             "application": {"enabled": True, "time_zone": "America/New_York",
                                             "currency_code": "USD"}})


ROUTES = [
    ("GET", "/opportunities/stages", list_stages),
    ("GET", "/opportunities/stages/{id}", get_stage),
    ("GET", "/opportunities", list_opportunities),
    ("POST", "/opportunities", create_opportunity),
    ("GET", "/opportunities/{id}", get_opportunity),
    ("PATCH", "/opportunities/{id}", update_opportunity),
    ("DELETE", "/opportunities/{id}", delete_opportunity),
    ("GET", "/settings/applications:getConfiguration", get_configuration),
]
