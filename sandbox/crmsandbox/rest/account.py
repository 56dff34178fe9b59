"""The key's own user (/oauth/connect/userinfo), the users (/users) and the business
profile: what a client reads to test a key."""

from .core import drop_empty, json_answer
from .listing import FilterField, list_page


def user_json(row):
    return drop_empty({
        "id": str(row["Id"]), "global_user_id": f"usr_{row['Id']:06d}",
        "keap_id": row["Email"], "given_name": row["FirstName"],
        "family_name": row["LastName"], "title": row["Title"],
        "email_addresses": [{"email": row["Email"], "field": "EMAIL1"}] if row["Email"] else None,
        "phone_numbers": [{"number": row["Phone1"], "field": "PHONE1"}] if row["Phone1"] else None,
        "admin": row["Id"] == 1, "partner": False, "status": "ACTIVE"})


def user_info(api, request):
    user_id = api.key_user_id()
    row = api.store.row("User", user_id) if user_id else None
    row = row or {"Id": user_id or 0, "Email": None, "FirstName": None, "LastName": None}
    return json_answer(200, drop_empty({
        "id": str(row["Id"]), "sub": str(row["Id"]), "keap_id": row["Email"],
        "email": row["Email"], "given_name": row["FirstName"], "family_name": row["LastName"],
        "is_admin": row["Id"] == 1, "tenant_id": api.tenant}))


FILTERS = {"email": FilterField("text", lambda r: r["Email"], wildcard=True),
           "given_name": FilterField("text", lambda r: r["FirstName"], wildcard=True),
           "user_ids": FilterField("ids", lambda r: r["Id"])}
ORDER = {"id": lambda r: r["Id"], "email": lambda r: r["Email"],
         "name": lambda r: (r["LastName"] or "", r["FirstName"] or "")}


def list_users(api, request):
    return json_answer(200, list_page(request, api.store.rows("User"), FILTERS, ORDER, "id",
                                      "users", user_json, maximum=100, minimum=1))


def business_profile(api, request):
    return json_answer(200, {
        "name": f"{api.app.capitalize()} Plumbing Supply", "email": "office@demo.example",
        "website": "https://demo.example", "phone": "503-555-0100",
        "address": {"line1": "100 Harbour Road", "line2": "", "locality": "Portland",
                    "region": "Oregon", "country_code": "USA", "postal_code": "97201"},
        "time_zone": "America/Los_Angeles", "currency_code": "USD", "language_tag": "en-US",
        "business_type": "Trades", "business_goals": []})


ROUTES = [
    ("GET", "/oauth/connect/userinfo", user_info),
    ("GET", "/users", list_users),
    ("GET", "/businessProfile", business_profile),
]
