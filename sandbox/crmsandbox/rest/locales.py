"""Countries and provinces: /locales, and the code <-> name look-ups the contact
addresses use (the store keeps names and short state codes, as XML-RPC shows them)."""

from .core import RestError, json_answer

# alpha-2, alpha-3, name, other names people write.
COUNTRIES = [
    ("US", "USA", "United States", ("United States of America", "U.S.A.", "America")),
    ("CA", "CAN", "Canada", ()),
    ("GB", "GBR", "United Kingdom", ("Great Britain", "UK", "England", "Scotland", "Wales")),
    ("IE", "IRL", "Ireland", ("Republic of Ireland",)),
    ("DE", "DEU", "Germany", ("Deutschland",)),
    ("FR", "FRA", "France", ()),
    ("AU", "AUS", "Australia", ()),
    ("NZ", "NZL", "New Zealand", ()),
    ("MX", "MEX", "Mexico", ()),
    ("NL", "NLD", "Netherlands", ("Holland",)),
    ("BE", "BEL", "Belgium", ()),
    ("ES", "ESP", "Spain", ()),
    ("IT", "ITA", "Italy", ()),
    ("CH", "CHE", "Switzerland", ()),
    ("AT", "AUT", "Austria", ()),
    ("SE", "SWE", "Sweden", ()),
    ("ZA", "ZAF", "South Africa", ()),
    ("IN", "IND", "India", ()),
]

PROVINCES = {
    "US": [("AL", "Alabama"), ("AK", "Alaska"), ("AZ", "Arizona"), ("AR", "Arkansas"),
           ("CA", "California"), ("CO", "Colorado"), ("CT", "Connecticut"), ("DE", "Delaware"),
           ("DC", "District of Columbia"), ("FL", "Florida"), ("GA", "Georgia"),
           ("HI", "Hawaii"), ("ID", "Idaho"), ("IL", "Illinois"), ("IN", "Indiana"),
           ("IA", "Iowa"), ("KS", "Kansas"), ("KY", "Kentucky"), ("LA", "Louisiana"),
           ("ME", "Maine"), ("MD", "Maryland"), ("MA", "Massachusetts"), ("MI", "Michigan"),
           ("MN", "Minnesota"), ("MS", "Mississippi"), ("MO", "Missouri"), ("MT", "Montana"),
           ("NE", "Nebraska"), ("NV", "Nevada"), ("NH", "New Hampshire"),
           ("NJ", "New Jersey"), ("NM", "New Mexico"), ("NY", "New York"),
           ("NC", "North Carolina"), ("ND", "North Dakota"), ("OH", "Ohio"),
           ("OK", "Oklahoma"), ("OR", "Oregon"), ("PA", "Pennsylvania"),
           ("RI", "Rhode Island"), ("SC", "South Carolina"), ("SD", "South Dakota"),
           ("TN", "Tennessee"), ("TX", "Texas"), ("UT", "Utah"), ("VT", "Vermont"),
           ("VA", "Virginia"), ("WA", "Washington"), ("WV", "West Virginia"),
           ("WI", "Wisconsin"), ("WY", "Wyoming"), ("PR", "Puerto Rico")],
    "CA": [("AB", "Alberta"), ("BC", "British Columbia"), ("MB", "Manitoba"),
           ("NB", "New Brunswick"), ("NL", "Newfoundland and Labrador"),
           ("NS", "Nova Scotia"), ("NT", "Northwest Territories"), ("NU", "Nunavut"),
           ("ON", "Ontario"), ("PE", "Prince Edward Island"), ("QC", "Quebec"),
           ("SK", "Saskatchewan"), ("YT", "Yukon")],
    "AU": [("ACT", "Australian Capital Territory"), ("NSW", "New South Wales"),
           ("NT", "Northern Territory"), ("QLD", "Queensland"), ("SA", "South Australia"),
           ("TAS", "Tasmania"), ("VIC", "Victoria"), ("WA", "Western Australia")],
}


def country(text):
    """(alpha2, alpha3, name) for an alpha-2 or alpha-3 code or a name, any case; or None."""
    wanted = (text or "").strip().casefold()
    for alpha2, alpha3, name, others in COUNTRIES:
        if wanted in (alpha2.casefold(), alpha3.casefold(), name.casefold()) or \
                wanted in (o.casefold() for o in others):
            return alpha2, alpha3, name
    return None


def province(alpha2, text):
    """(ISO 3166-2 code, name) of a province given by its code (with or without the
    country part) or its name; None if the country has no such province."""
    wanted = (text or "").strip().casefold()
    if wanted.startswith(alpha2.casefold() + "-"):
        wanted = wanted[len(alpha2) + 1:]
    for code, name in PROVINCES.get(alpha2, []):
        if wanted in (code.casefold(), name.casefold()):
            return f"{alpha2}-{code}", name
    return None


def _country_json(found):
    alpha2, alpha3, name = found
    return {"codes": {"alpha2": alpha2, "alpha3": alpha3}, "name": name}


def _province_json(found, alpha3):
    code, name = found
    return {"code": code, "name": name, "country": alpha3}


def _known_country(text):
    found = country(text)
    if found is None:
        raise RestError(404, f"Country {text} not found", "locales")
    return found


def list_countries(api, request):
    return json_answer(200, {"countries": [_country_json(c[:3]) for c in COUNTRIES],
                             "next_page_token": ""})


def get_country(api, request, code):
    return json_answer(200, _country_json(_known_country(code)))


def list_provinces(api, request, code):
    alpha2, alpha3, _ = _known_country(code)
    found = [(f"{alpha2}-{c}", n) for c, n in PROVINCES.get(alpha2, [])]
    return json_answer(200, {"provinces": [_province_json(p, alpha3) for p in found],
                             "next_page_token": ""})


def get_province(api, request, code, province_text):
    alpha2, alpha3, _ = _known_country(code)
    found = province(alpha2, province_text)
    if found is None:
        raise RestError(404, f"Province {province_text} of {alpha3} not found", "locales")
    return json_answer(200, _province_json(found, alpha3))


ROUTES = [
    ("GET", "/locales/countries", list_countries),
    ("GET", "/locales/countries/{id}", get_country),
    ("GET", "/locales/countries/{id}/provinces", list_provinces),
    ("GET", "/locales/countries/{id}/provinces/{id}", get_province),
]
