"""SQLite storage of the sandbox CRM and the DataService rules on top of it."""

import datetime
import functools
import math
import re
import sqlite3
import threading

from . import schema
from .wire import Binary, DateTime, MAXINT, MININT

FAULT_NO_SUCH_METHOD = 0
FAULT_INVALID_CONFIG = 2
FAULT_INVALID_PARAMETER = 3
FAULT_RECORD_NOT_FOUND = 6
FAULT_NO_FIELD_FOUND = 10
FAULT_FAILED_LOGIN = 13


class CrmFault(Exception):
    def __init__(self, code, text):
        super().__init__(text)
        self.code, self.text = code, text


def invalid(text):
    return CrmFault(FAULT_INVALID_PARAMETER, "[InvalidParameter]" + text)


def not_found(table, record_id):
    return CrmFault(FAULT_RECORD_NOT_FOUND,
                    f"[RecordNotFound]Record not found: {table} with Id {record_id}")


def no_field(table, field):
    return CrmFault(FAULT_NO_FIELD_FOUND, f"[NoFieldFound]No field found: {table}.{field}")


_DATE_FORMATS = ("%Y%m%dT%H:%M:%S", "%Y-%m-%dT%H:%M:%S", "%Y-%m-%d %H:%M:%S",
                 "%Y%m%dT%H%M%S", "%Y-%m-%d", "%Y%m%d")


def parse_date(text):
    """The date of a text in one of the forms clients send; None if it is none of them."""
    text = text.strip()
    for fmt in _DATE_FORMATS:
        try:
            return datetime.datetime.strptime(text, fmt)
        except ValueError:
            continue
    return None


def date_key(value):
    """Stored form of a date: sortable text in the wire's own layout."""
    return "%04d%02d%02dT%02d:%02d:%02d" % (value.year, value.month, value.day,
                                            value.hour, value.minute, value.second)


def now_key():
    return date_key(datetime.datetime.now())


_INT_TEXT = re.compile(r"^\s*[+-]?\d+\s*$")


def int_from(value):
    """A 32-bit int sent as int, or as digit text; None for anything else.

    Record Ids and every other integer of the API are 32-bit; a larger number
    can name no record, and SQLite could not even bind most of them.
    """
    if isinstance(value, bool):
        return None
    if isinstance(value, str) and _INT_TEXT.match(value):
        value = int(value)
    if isinstance(value, int) and MININT <= value <= MAXINT:
        return value
    return None


def file_extension(name):
    """A file-box file's extension: the part of its base name after the last dot."""
    base = name.replace("\\", "/").rsplit("/", 1)[-1]
    return base.rsplit(".", 1)[1] if "." in base else None


def to_storage(table, field, value):
    """Convert a value sent for a field to its stored form, or fault."""
    def bad():
        return invalid(f"Invalid value for {table}.{field.name}: {value!r}")

    if value is None or isinstance(value, (dict, list, tuple)):
        raise bad()
    if isinstance(value, str) and value == "":
        return None
    kind = field.kind
    if kind == "text":
        if isinstance(value, DateTime):
            return value.value
        if isinstance(value, Binary):
            raise bad()
        if isinstance(value, bool):
            return "1" if value else "0"
        return str(value)
    if kind == "int":
        if isinstance(value, bool):
            return int(value)
        if isinstance(value, float) and value.is_integer():
            value = int(value)
        number = int_from(value)
        if number is None:
            raise bad()
        return number
    if kind == "double":
        if isinstance(value, bool):
            raise bad()
        if isinstance(value, (int, float)):
            return float(value)
        if isinstance(value, str):
            try:
                number = float(value.strip())
            except ValueError:
                raise bad() from None
            if math.isfinite(number):
                return number
        raise bad()
    if kind == "date":
        if isinstance(value, datetime.datetime):
            return date_key(value)
        if isinstance(value, (DateTime, str)):
            parsed = parse_date(value.value if isinstance(value, DateTime) else value)
            if parsed is not None:
                return date_key(parsed)
        raise bad()
    raise bad()


def from_storage(field, value):
    if value is None or value == "":
        return None
    if field.kind == "int":
        return int(value)
    if field.kind == "double":
        return float(value)
    if field.kind == "date":
        return datetime.datetime.strptime(value, "%Y%m%dT%H:%M:%S")
    return str(value)


@functools.lru_cache(maxsize=512)
def _pattern(text):
    parts = (re.escape(p) for p in text.split("%"))
    return re.compile(".*".join(parts), re.IGNORECASE | re.DOTALL)


def _crm_match(value, pattern):
    """Case-insensitive match where % stands for any run of characters."""
    if value is None:
        value = ""
    elif isinstance(value, float) and value.is_integer():
        value = str(int(value))
    return 1 if _pattern(pattern).fullmatch(str(value)) else 0


def _crm_fold(value):
    return None if value is None else str(value).casefold()


class Store:
    """All records of the sandbox CRM. One lock serialises every operation."""

    def __init__(self, path):
        self.lock = threading.RLock()
        self.db = sqlite3.connect(path, check_same_thread=False, isolation_level=None)
        self.db.create_function("crm_match", 2, _crm_match, deterministic=True)
        self.db.create_function("crm_fold", 1, _crm_fold, deterministic=True)
        if path != ":memory:":
            self.db.execute("PRAGMA journal_mode=WAL")
        self.tables = {name: {f.name: f for f in fields} for name, fields in schema.TABLES.items()}
        self._create()

    # --- schema -------------------------------------------------------

    def _create(self):
        sql_kind = {"int": "INTEGER", "text": "TEXT", "double": "REAL", "date": "TEXT"}
        with self.lock:
            self.db.execute("CREATE TABLE IF NOT EXISTS sandbox_meta (key TEXT PRIMARY KEY, value TEXT)")
            self.db.execute("CREATE TABLE IF NOT EXISTS action_steps (ActionSequenceId INTEGER, "
                            "Position INTEGER, Action TEXT, Message TEXT, IsError INTEGER)")
            for name, columns in schema.HIDDEN_TABLES.items():
                self.db.execute(f'CREATE TABLE IF NOT EXISTS "{name}" ({columns})')
            for table, fields in self.tables.items():
                cols = [(f.name, sql_kind[f.kind]) for f in fields.values() if f.name != "Id"]
                cols += schema.HIDDEN_COLUMNS.get(table, [])
                described = ", ".join(["Id INTEGER PRIMARY KEY"] + [f'"{n}" {t}' for n, t in cols])
                self.db.execute(f'CREATE TABLE IF NOT EXISTS "{table}" ({described})')
                # A database from an older sandbox lacks the columns added since.
                have = {row[1] for row in self.db.execute(f'PRAGMA table_info("{table}")')}
                for name, kind in cols:
                    if name not in have:
                        self.db.execute(f'ALTER TABLE "{table}" ADD COLUMN "{name}" {kind}')
            # Custom fields made by earlier runs.
            rows = self.db.execute('SELECT FormId, Name, DataType FROM "DataFormField"').fetchall()
            form_tables = {form: table for table, form in schema.CUSTOM_FIELD_CONTEXTS.values()}
            for form_id, name, data_type in rows:
                table = form_tables.get(form_id)
                if table:
                    kind = schema.DATA_TYPE_KINDS.get(data_type, "text")
                    self.tables[table][name] = schema.Field(name, kind, "rw")

    def meta(self, key, default=None):
        row = self.db.execute("SELECT value FROM sandbox_meta WHERE key = ?", (key,)).fetchone()
        return row[0] if row else default

    def set_meta(self, key, value):
        self.db.execute("INSERT OR REPLACE INTO sandbox_meta VALUES (?, ?)", (key, str(value)))

    # --- checks -------------------------------------------------------

    def table(self, name):
        if not isinstance(name, str) or name not in self.tables:
            raise invalid(f"Invalid table name: {name}")
        return self.tables[name]

    def field(self, table, name):
        fields = self.table(table)
        if not isinstance(name, str) or name not in fields:
            raise no_field(table, name)
        return fields[name]

    def _selected(self, table, names):
        fields = []
        for name in names:
            if not isinstance(name, str):
                raise invalid(f"Field names must be text, got {name!r}")
            fields.append(self.field(table, name))
        return fields

    def _writable_values(self, table, values):
        if table in schema.READ_ONLY_TABLES:
            raise invalid(f"Table {table} is read-only")
        row = {}
        for name, value in values.items():
            field = self.field(table, name)
            if not field.writable:
                raise invalid(f"Field {table}.{name} is read-only")
            row[name] = to_storage(table, field, value)
        return row

    # --- records ------------------------------------------------------

    def insert(self, table, row):
        """Insert a row of stored values without any checks (seeding, services)."""
        names = list(row)
        cols = ", ".join(f'"{n}"' for n in names)
        marks = ", ".join("?" for _ in names)
        with self.lock:
            if names:
                cur = self.db.execute(f'INSERT INTO "{table}" ({cols}) VALUES ({marks})',
                                      [row[n] for n in names])
            else:
                cur = self.db.execute(f'INSERT INTO "{table}" DEFAULT VALUES')
            return cur.lastrowid

    def add(self, table, values):
        self.table(table)
        row = self._writable_values(table, values)
        with self.lock:
            return self.create(table, row)

    def create(self, table, row):
        """Insert a row of stored values with the creation stamps and the contact's
        company link kept (DataService.add and the REST interface)."""
        if table in schema.STAMPED:
            stamp = now_key()
            row["DateCreated" if "DateCreated" in self.tables[table] else "CreationDate"] = \
                row.get("CreationDate") or stamp
            row["LastUpdated"] = stamp
        with self.lock:
            if table == "Contact":
                self._link_company(row)
            return self.insert(table, row)

    def exists(self, table, record_id):
        with self.lock:
            return self.db.execute(f'SELECT 1 FROM "{table}" WHERE Id = ?',
                                   (record_id,)).fetchone() is not None

    def update(self, table, record_id, values):
        self.table(table)
        row = self._writable_values(table, values)
        with self.lock:
            if not self.exists(table, record_id):
                raise not_found(table, record_id)
            return self.change(table, record_id, row)

    def change(self, table, record_id, row):
        """Update an existing record with stored values, stamping it and keeping the
        contact-company link (DataService.update and the REST interface)."""
        with self.lock:
            if table in schema.STAMPED:
                row["LastUpdated"] = now_key()
            if table == "Contact":
                self._link_company(row)
            if row:
                sets = ", ".join(f'"{n}" = ?' for n in row)
                self.db.execute(f'UPDATE "{table}" SET {sets} WHERE Id = ?',
                                [*row.values(), record_id])
            if table == "Company" and "Company" in row:
                # Contacts show their company's name as text; a rename reaches them.
                self.db.execute('UPDATE "Contact" SET Company = ? WHERE CompanyID = ?',
                                (row["Company"], record_id))
            return record_id

    # --- companies ----------------------------------------------------

    def company_named(self, name):
        """The Id of the company of that name (ignoring case), made if there is none."""
        with self.lock:
            found = self.db.execute('SELECT Id FROM "Company" WHERE crm_fold(Company) = ? '
                                    "ORDER BY Id LIMIT 1", (name.casefold(),)).fetchone()
            if found:
                return found[0]
            stamp = now_key()
            return self.insert("Company", {"Company": name, "DateCreated": stamp,
                                           "LastUpdated": stamp})

    def _link_company(self, row):
        # A contact's Company text and CompanyID name the same Company record: the
        # text links (or makes) the record, an Id alone brings its name along.
        if "Company" in row and "CompanyID" not in row:
            row["CompanyID"] = self.company_named(row["Company"]) if row["Company"] else None
        elif "CompanyID" in row and "Company" not in row and row["CompanyID"]:
            found = self.db.execute('SELECT Company FROM "Company" WHERE Id = ?',
                                    (row["CompanyID"],)).fetchone()
            if found:
                row["Company"] = found[0]

    def link_all_companies(self):
        """Give every contact with a company text but no company record its record."""
        with self.lock:
            rows = self.db.execute('SELECT Id, Company FROM "Contact" WHERE Company IS NOT NULL '
                                   "AND Company != '' AND CompanyID IS NULL ORDER BY Id").fetchall()
            for contact_id, name in rows:
                self.db.execute('UPDATE "Contact" SET CompanyID = ? WHERE Id = ?',
                                (self.company_named(name), contact_id))

    def delete(self, table, record_id):
        self.table(table)
        if table in schema.READ_ONLY_TABLES:
            raise invalid(f"Table {table} is read-only")
        with self.lock:
            cur = self.db.execute(f'DELETE FROM "{table}" WHERE Id = ?', (record_id,))
            if cur.rowcount == 0:
                raise not_found(table, record_id)
            if table == "Company":
                self.db.execute('UPDATE "Contact" SET CompanyID = NULL WHERE CompanyID = ?',
                                (record_id,))
            return True

    def load(self, table, record_id, names):
        fields = self._selected(table, names)
        with self.lock:
            row = self._fetch(table, fields, "Id = ?", [record_id], 1, 0)
        if not row:
            raise not_found(table, record_id)
        return row[0]

    def _fetch(self, table, fields, where, args, limit, offset):
        cols = ", ".join(f'"{f.name}"' for f in fields) or "Id"
        sql = f'SELECT {cols} FROM "{table}"'
        if where:
            sql += " WHERE " + where
        sql += " ORDER BY Id LIMIT ? OFFSET ?"
        records = []
        for raw in self.db.execute(sql, [*args, limit, offset]):
            record = {}
            for field, value in zip(fields, raw):
                converted = from_storage(field, value)
                if converted is not None:
                    record[field.name] = converted
            records.append(record)
        return records

    def _condition(self, table, name, value):
        field = self.field(table, name)
        col = f'"{name}"'
        if value is None or isinstance(value, (dict, list, tuple, Binary)):
            raise invalid(f"Invalid query value for {table}.{name}: {value!r}")
        if isinstance(value, str) and value.strip().lower() == "~null~":
            return f"({col} IS NULL OR {col} = '')", []
        if field.kind == "int":
            if isinstance(value, bool):
                return f"{col} = ?", [int(value)]
            if isinstance(value, float) and value.is_integer():
                value = int(value)  # a whole double (findByField sends doubles as such)
            number = int_from(value)
            if number is not None:
                return f"{col} = ?", [number]
        elif field.kind == "double":
            if isinstance(value, (int, float)) and not isinstance(value, bool):
                return f"{col} = ?", [float(value)]
            if isinstance(value, str) and "%" not in value:
                try:
                    return f"{col} = ?", [float(value)]
                except ValueError:
                    pass
        elif field.kind == "date":
            if isinstance(value, datetime.datetime):
                return f"{col} = ?", [date_key(value)]
            if isinstance(value, DateTime) or (isinstance(value, str) and "%" not in value):
                parsed = parse_date(value.value if isinstance(value, DateTime) else value)
                if parsed is not None:
                    return f"{col} = ?", [date_key(parsed)]
        if isinstance(value, bool):
            value = "1" if value else "0"
        elif isinstance(value, DateTime):
            value = value.value
        return f"crm_match({col}, ?)", [str(value)]

    def query(self, table, limit, page, query_data, names):
        self.table(table)
        if not 1 <= limit <= 1000:
            raise invalid(f"Limit must be between 1 and 1000, got {limit}")
        if page < 0:
            raise invalid(f"Page must not be negative, got {page}")
        conditions, args = [], []
        for name, value in query_data.items():
            sql, extra = self._condition(table, name, value)
            conditions.append(sql)
            args.extend(extra)
        fields = self._selected(table, names)
        with self.lock:
            return self._fetch(table, fields, " AND ".join(conditions), args, limit, page * limit)

    def find_by_email(self, email, names):
        fields = self._selected("Contact", names)
        folded = email.casefold()
        where = ("crm_fold(Email) = ? OR crm_fold(EmailAddress2) = ? "
                 "OR crm_fold(EmailAddress3) = ?")
        with self.lock:
            return self._fetch("Contact", fields, where, [folded] * 3, -1, 0)

    def record_fields(self, table, record_id):
        """All fields of a record as (name, text) pairs, for the record pages; None if absent."""
        fields = list(self.tables[table].values())
        with self.lock:
            rows = self._fetch(table, fields, "Id = ?", [record_id], 1, 0)
        if not rows:
            return None
        out = []
        for field in fields:
            value = rows[0].get(field.name)
            if isinstance(value, datetime.datetime):
                value = date_key(value)
            elif isinstance(value, float):
                value = f"{value:.2f}"
            out.append((field.name, "" if value is None else str(value)))
        return out

    def add_custom_field(self, table, form_id, label, data_type, group_id):
        code, kind = schema.CUSTOM_FIELD_TYPES[data_type]
        name = "_" + re.sub(r"[^A-Za-z0-9]", "", label)
        if name == "_":
            raise invalid(f"Invalid custom field name: {label!r}")
        with self.lock:
            if name in self.tables[table]:
                raise invalid(f"Field {table}.{name} already exists")
            sql_kind = {"int": "INTEGER", "text": "TEXT", "double": "REAL", "date": "TEXT"}[kind]
            self.db.execute("BEGIN")
            try:
                self.db.execute(f'ALTER TABLE "{table}" ADD COLUMN "{name}" {sql_kind}')
                new_id = self.insert("DataFormField", {"FormId": form_id, "GroupId": group_id,
                                                       "Name": name, "Label": label,
                                                       "DataType": code})
                self.db.execute("COMMIT")
            except Exception:
                self.db.execute("ROLLBACK")
                raise
            self.tables[table][name] = schema.Field(name, kind, "rw")
            return new_id

    def rows(self, table, where="", args=()):
        """Records as stored (every column, dates as stored text), in Id order."""
        sql = f'SELECT * FROM "{table}"' + (f" WHERE {where}" if where else "") + " ORDER BY Id"
        with self.lock:
            cursor = self.db.execute(sql, args)
            names = [d[0] for d in cursor.description]
            return [dict(zip(names, raw)) for raw in cursor.fetchall()]

    def row(self, table, record_id):
        found = self.rows(table, "Id = ?", (record_id,))
        return found[0] if found else None

    def execute(self, sql, args=()):
        with self.lock:
            return self.db.execute(sql, args).fetchall()
