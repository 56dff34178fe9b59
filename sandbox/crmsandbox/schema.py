"""Tables and fields of the sandbox CRM, with their kinds and write access."""

# Field kinds: "int", "text", "double", "date".
# Access: "rw" may be written by add/update; "ro" only read.

_RO = "ro"
_RW = "rw"


class Field:
    __slots__ = ("name", "kind", "access")

    def __init__(self, name, kind, access):
        self.name, self.kind, self.access = name, kind, access

    @property
    def writable(self):
        return self.access == _RW


def _fields(rows):
    return [Field(name, kind, access) for name, kind, access in rows]


def _text(*names, access=_RW):
    return [(n, "text", access) for n in names]


TABLES = {
    "Contact": _fields([("Id", "int", _RO)]
                       + _text("FirstName", "MiddleName", "LastName", "Nickname", "Company",
                               "Title", "JobTitle", "Email", "EmailAddress2", "EmailAddress3",
                               "StreetAddress1", "StreetAddress2", "Address2Street1",
                               "Address2Street2", "City", "State", "PostalCode", "Country",
                               "Phone1", "Phone1Ext", "Phone1Type", "Phone2", "Phone2Ext",
                               "Fax1", "Fax1Type", "Website", "ContactType", "Notes", "Groups")
                       + [("CompanyID", "int", _RW), ("OwnerID", "int", _RW),
                          ("Birthday", "date", _RW),
                          ("DateCreated", "date", _RO), ("LastUpdated", "date", _RO)]),
    "Lead": _fields([("Id", "int", _RO), ("ContactID", "int", _RW)]
                    + _text("OpportunityTitle", "OpportunityNotes", "Leadsource", "NextActionNotes")
                    + [("StageID", "int", _RW), ("StatusID", "int", _RW), ("UserID", "int", _RW),
                       ("AffiliateId", "int", _RW),
                       ("ProjectedRevenueHigh", "double", _RW), ("ProjectedRevenueLow", "double", _RW),
                       ("EstimatedCloseDate", "date", _RW), ("NextActionDate", "date", _RW),
                       ("DateCreated", "date", _RO), ("LastUpdated", "date", _RO)]),
    "Company": _fields([("Id", "int", _RO)]
                       + _text("Company", "Email", "Phone1", "Website", "StreetAddress1",
                               "StreetAddress2", "City", "State", "PostalCode", "Country", "Notes")
                       + [("DateCreated", "date", _RO), ("LastUpdated", "date", _RO)]),
    "Stage": _fields([("Id", "int", _RO), ("StageName", "text", _RO), ("StageOrder", "int", _RO),
                      ("TargetNumDays", "int", _RO)]),
    "ActionSequence": _fields([("Id", "int", _RO), ("TemplateName", "text", _RO),
                               ("VisibleToTheseUsers", "text", _RO)]),
    "ContactAction": _fields([("Id", "int", _RO), ("ContactId", "int", _RW),
                              ("OpportunityId", "int", _RW), ("UserID", "int", _RW)]
                             + _text("ActionType", "ActionDescription", "CreationNotes",
                                     "Priority", "ObjectType")
                             + [("ActionDate", "date", _RW), ("EndDate", "date", _RW),
                                ("CompletionDate", "date", _RW), ("CreationDate", "date", _RW),
                                ("IsAppointment", "int", _RW),
                                ("LastUpdated", "date", _RO)]),
    "FileBox": _fields([("Id", "int", _RO), ("ContactId", "int", _RO), ("FileName", "text", _RO),
                        ("FileSize", "int", _RO), ("Extension", "text", _RO),
                        ("Public", "int", _RO)]),
    "User": _fields([("Id", "int", _RO)]
                    + _text("FirstName", "LastName", "Email", "Title", "Phone1", access=_RO)),
    "ContactGroup": _fields([("Id", "int", _RO), ("GroupName", "text", _RO),
                             ("GroupDescription", "text", _RO)]),
    "ContactGroupAssign": _fields([("Id", "int", _RO), ("GroupId", "int", _RO),
                                   ("ContactId", "int", _RO), ("DateCreated", "date", _RO)]),
    "Campaign": _fields([("Id", "int", _RO), ("Name", "text", _RO), ("Status", "text", _RO)]),
    "CampaignStep": _fields([("Id", "int", _RO), ("CampaignId", "int", _RO),
                             ("StepTitle", "text", _RO), ("StepStatus", "int", _RO)]),
    "CampaignContact": _fields([("Id", "int", _RO), ("CampaignId", "int", _RO),
                                ("ContactId", "int", _RO), ("NextStepId", "int", _RO),
                                ("Paused", "int", _RO), ("NextRun", "date", _RO)]),
    "DataFormField": _fields([("Id", "int", _RO), ("FormId", "int", _RO), ("GroupId", "int", _RO),
                              ("Name", "text", _RO), ("Label", "text", _RO),
                              ("DataType", "int", _RO), ("DefaultValue", "text", _RO),
                              ("Values", "text", _RO), ("ListRows", "int", _RO)]),
}

# Columns kept beside a table's fields that the API never shows.
HIDDEN_COLUMNS = {
    "FileBox": [("Data", "BLOB"), ("DateCreated", "TEXT"), ("LastUpdated", "TEXT"),
                ("CreatedBy", "INTEGER")],
    "User": [("PasswordHash", "TEXT")],
}

# Tables whose records are created and removed only by the sandbox itself.
READ_ONLY_TABLES = {"Stage", "ActionSequence", "FileBox", "User", "ContactGroup",
                    "ContactGroupAssign", "Campaign", "CampaignStep", "CampaignContact",
                    "DataFormField"}

# Tables that stamp DateCreated / LastUpdated on writes.
STAMPED = {"Contact", "Lead", "ContactAction", "Company"}

# Tables the API never shows: campaign sequences (REST v2) and who is on them.
HIDDEN_TABLES = {
    "campaign_sequences": "Id INTEGER PRIMARY KEY, CampaignId INTEGER, Name TEXT",
    "sequence_contacts": "SequenceId INTEGER, ContactId INTEGER, DateAdded TEXT, "
                         "PRIMARY KEY (SequenceId, ContactId)",
}

# addCustomField: context -> (table, DataFormField.FormId).
CUSTOM_FIELD_CONTEXTS = {"Contact": ("Contact", -1), "Person": ("Contact", -1),
                         "Opportunity": ("Lead", -4), "Lead": ("Lead", -4),
                         "Task/Appt/Note": ("ContactAction", -5),
                         "ContactAction": ("ContactAction", -5)}

# addCustomField data types -> (DataFormField.DataType code, field kind).
CUSTOM_FIELD_TYPES = {
    "Phone": (1, "text"), "SocialSecurityNumber": (2, "text"), "Currency": (3, "double"),
    "Date": (4, "date"), "DateTime": (5, "date"), "DayOfWeek": (6, "text"),
    "Drilldown": (7, "text"), "Email": (8, "text"), "Month": (9, "text"),
    "ListBox": (10, "text"), "Name": (11, "text"), "WholeNumber": (12, "int"),
    "DecimalNumber": (13, "double"), "Percent": (14, "double"), "PercentNumber": (14, "double"),
    "Radio": (15, "text"), "Dropdown": (16, "text"), "Select": (16, "text"),
    "State": (17, "text"), "Text": (18, "text"), "TextArea": (19, "text"),
    "User": (20, "int"), "UserListBox": (21, "text"), "Website": (22, "text"),
    "Year": (23, "text"), "YesNo": (24, "int"),
}

DATA_TYPE_KINDS = {code: kind for code, kind in CUSTOM_FIELD_TYPES.values()}
