"""/companies: the store's Company records, which contacts link to."""

from .core import (bad_request, drop_empty, iso_time, json_answer, not_found, path_id,
                   text_value)
from .listing import COMPARE, FilterField, list_page


def company_json(row):
    return drop_empty({"id": str(row["Id"]), "company_name": row["Company"],
                       "website": row["Website"], "notes": row["Notes"],
                       "email_address": {"email": row["Email"], "field": "EMAIL1"}
                       if row["Email"] else None,
                       "phone_number": {"number": row["Phone1"], "field": "PHONE1"}
                       if row["Phone1"] else None,
                       "create_time": iso_time(row["DateCreated"]),
                       "update_time": iso_time(row["LastUpdated"])})


FILTERS = {
    # name==x* is a prefix; name==x the exact name; company_name==x exact only.
    "name": FilterField("text", lambda r: r["Company"], wildcard=True),
    "company_name": FilterField("text", lambda r: r["Company"]),
    "id": FilterField("id", lambda r: r["Id"], ops=COMPARE),
    "ids": FilterField("ids", lambda r: r["Id"]),
}
ORDER = {"id": lambda r: r["Id"], "name": lambda r: r["Company"],
         "company_name": lambda r: r["Company"], "create_time": lambda r: r["DateCreated"],
         "update_time": lambda r: r["LastUpdated"]}


def list_companies(api, request):
    return json_answer(200, list_page(request, api.store.rows("Company"), FILTERS, ORDER, "id",
                                      "companies", company_json))


def get_company(api, request, company_id):
    row = api.store.row("Company", path_id(company_id, "Company"))
    if row is None:
        raise not_found("Company", company_id)
    return json_answer(200, company_json(row))


def create_company(api, request):
    body = request.json()
    name = text_value(body, "company_name", 100)
    if not name:
        raise bad_request("company_name is required", "companies")
    row = {"Company": name, "Website": text_value(body, "website", 100),
           "Notes": text_value(body, "notes")}
    email = body.get("email_address")
    if isinstance(email, dict):
        row["Email"] = text_value(email, "email", 100)
    phone = body.get("phone_number")
    if isinstance(phone, dict):
        row["Phone1"] = text_value(phone, "number", 40)
    new_id = api.store.create("Company", row)
    return json_answer(201, company_json(api.store.row("Company", new_id)))


ROUTES = [
    ("GET", "/companies", list_companies),
    ("POST", "/companies", create_company),
    ("GET", "/companies/{id}", get_company),
]
