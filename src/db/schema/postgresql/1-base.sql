-- Step 1 of the student database on a PostgreSQL server: the same tables as on SQLite, the functions the
-- program's SQL calls, and who may read and write what. `kyt-cli init-db` runs every step in order in
-- one transaction, as the role kyt_owner (which no one logs in as: an owner is not bound by the row
-- rules), with the search path kyt, the schema of citext, pg_catalog; kyt.SchemaVersion then holds the
-- number of the last step.
--
-- As on SQLite: text columns are citext, so comparison, LIKE, ordering and the USN key ignore letter case;
-- a CHECK named "<Table>.<Column> holds at most N characters" fails as a value too long for its field,
-- one named "<Table>.<Column> is required" as a required field left blank, one named
-- "<Table>.<Column> must be ..." as a conversion error. The résumé reader inserts rows by position, so
-- the column order of Personal and Marks is fixed.

CREATE TABLE kyt.Personal (
    USN citext NOT NULL PRIMARY KEY
        CONSTRAINT "Personal.USN is required" CHECK (length(USN) > 0)
        CONSTRAINT "Personal.USN holds at most 50 characters" CHECK (length(USN) <= 50),
    BranchName citext
        CONSTRAINT "Personal.BranchName holds at most 255 characters" CHECK (length(BranchName) <= 255),
    Name citext NOT NULL
        CONSTRAINT "Personal.Name is required" CHECK (length(Name) > 0)
        CONSTRAINT "Personal.Name holds at most 65 characters" CHECK (length(Name) <= 65),
    SecondName citext
        CONSTRAINT "Personal.SecondName holds at most 65 characters" CHECK (length(SecondName) <= 65),
    dob1 citext
        CONSTRAINT "Personal.dob1 holds at most 10 characters" CHECK (length(dob1) <= 10),
    Gender citext
        CONSTRAINT "Personal.Gender holds at most 10 characters" CHECK (length(Gender) <= 10),
    Languages citext,
    CET citext
        CONSTRAINT "Personal.CET holds at most 14 characters" CHECK (length(CET) <= 14),
    Other1 citext
        CONSTRAINT "Personal.Other1 holds at most 50 characters" CHECK (length(Other1) <= 50),
    Other2 citext
        CONSTRAINT "Personal.Other2 holds at most 50 characters" CHECK (length(Other2) <= 50),
    Other3 citext
        CONSTRAINT "Personal.Other3 holds at most 50 characters" CHECK (length(Other3) <= 50),
    Email citext
        CONSTRAINT "Personal.Email holds at most 50 characters" CHECK (length(Email) <= 50),
    Address1 citext
        CONSTRAINT "Personal.Address1 holds at most 100 characters" CHECK (length(Address1) <= 100),
    Address2 citext
        CONSTRAINT "Personal.Address2 holds at most 100 characters" CHECK (length(Address2) <= 100),
    Address3 citext,
    Address4 citext
        CONSTRAINT "Personal.Address4 holds at most 255 characters" CHECK (length(Address4) <= 255),
    City citext
        CONSTRAINT "Personal.City holds at most 50 characters" CHECK (length(City) <= 50),
    Pin bigint
        CONSTRAINT "Personal.Pin must be a 32-bit whole number" CHECK (Pin BETWEEN -2147483648 AND 2147483647),
    PermAddress1 citext
        CONSTRAINT "Personal.PermAddress1 holds at most 100 characters" CHECK (length(PermAddress1) <= 100),
    PermAddress2 citext
        CONSTRAINT "Personal.PermAddress2 holds at most 100 characters" CHECK (length(PermAddress2) <= 100),
    PermAddress3 citext,
    PermAddress4 citext
        CONSTRAINT "Personal.PermAddress4 holds at most 255 characters" CHECK (length(PermAddress4) <= 255),
    PermCity citext
        CONSTRAINT "Personal.PermCity holds at most 50 characters" CHECK (length(PermCity) <= 50),
    PermPin bigint
        CONSTRAINT "Personal.PermPin must be a 32-bit whole number" CHECK (PermPin BETWEEN -2147483648 AND 2147483647),
    Phone citext
        CONSTRAINT "Personal.Phone holds at most 50 characters" CHECK (length(Phone) <= 50),
    hobbies citext
        CONSTRAINT "Personal.hobbies holds at most 250 characters" CHECK (length(hobbies) <= 250),
    eca citext
        CONSTRAINT "Personal.eca holds at most 250 characters" CHECK (length(eca) <= 250),
    Achievements citext
        CONSTRAINT "Personal.Achievements holds at most 200 characters" CHECK (length(Achievements) <= 200),
    one_to_4 double precision DEFAULT 2,
    one_to_5 double precision DEFAULT 2,
    one_to_6 double precision DEFAULT 2,
    one_to_7 double precision DEFAULT 0,
    one_to_8 double precision DEFAULT 0,
    prefinalproject1 citext DEFAULT 'e'
        CONSTRAINT "Personal.prefinalproject1 holds at most 255 characters" CHECK (length(prefinalproject1) <= 255),
    prefinalproject2 citext DEFAULT 'e'
        CONSTRAINT "Personal.prefinalproject2 holds at most 255 characters" CHECK (length(prefinalproject2) <= 255),
    finalproject1 citext DEFAULT 'e'
        CONSTRAINT "Personal.finalproject1 holds at most 255 characters" CHECK (length(finalproject1) <= 255),
    finalproject2 citext DEFAULT 'e'
        CONSTRAINT "Personal.finalproject2 holds at most 255 characters" CHECK (length(finalproject2) <= 255)
);

CREATE TABLE kyt.Marks (
    usn citext NOT NULL
        CONSTRAINT "Marks.usn is required" CHECK (length(usn) > 0)
        CONSTRAINT "Marks.usn holds at most 50 characters" CHECK (length(usn) <= 50),
    education_level integer NOT NULL
        CONSTRAINT "Marks.education_level must be a 16-bit whole number" CHECK (education_level BETWEEN -32768 AND 32767),
    Institution citext
        CONSTRAINT "Marks.Institution holds at most 255 characters" CHECK (length(Institution) <= 255),
    obtained integer
        CONSTRAINT "Marks.obtained must be a 16-bit whole number" CHECK (obtained BETWEEN -32768 AND 32767),
    max integer
        CONSTRAINT "Marks.max must be a 16-bit whole number" CHECK (max BETWEEN -32768 AND 32767),
    Percentage double precision,
    class citext
        CONSTRAINT "Marks.class holds at most 50 characters" CHECK (length(class) <= 50),
    PassingYear citext NOT NULL
        CONSTRAINT "Marks.PassingYear is required" CHECK (length(PassingYear) > 0)
        CONSTRAINT "Marks.PassingYear holds at most 50 characters" CHECK (length(PassingYear) <= 50),
    Attempts citext NOT NULL
        CONSTRAINT "Marks.Attempts is required" CHECK (length(Attempts) > 0)
        CONSTRAINT "Marks.Attempts holds at most 50 characters" CHECK (length(Attempts) <= 50),
    UNIQUE (usn, education_level)
);

CREATE TABLE kyt.Branch (
    BranchCode citext NOT NULL PRIMARY KEY
        CONSTRAINT "Branch.BranchCode is required" CHECK (length(BranchCode) > 0)
        CONSTRAINT "Branch.BranchCode holds at most 10 characters" CHECK (length(BranchCode) <= 10),
    Branch citext NOT NULL
        CONSTRAINT "Branch.Branch is required" CHECK (length(Branch) > 0)
        CONSTRAINT "Branch.Branch holds at most 255 characters" CHECK (length(Branch) <= 255)
);

-- Saved queries: each login keeps its own SQL (one officer's query run must not change another's
-- merge); the rows of Login '' are what a login starts with. Each session makes them temporary views.
CREATE TABLE kyt.SavedQuery (
    Login name NOT NULL DEFAULT current_user,
    Name citext NOT NULL,
    SQL text NOT NULL,
    PRIMARY KEY (Login, Name)
);
INSERT INTO kyt.SavedQuery (Login, Name, SQL) VALUES
    ('', 'ser', 'SELECT * FROM Personal'),
    ('', 'FreePercent', 'SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * 100,''0.00'') AS Percent1To6 From marks Where education_Level >=2 + 1+ 0 And education_Level <= 2 + 6+ 0 GROUP BY USN'),
    ('', 'MergeQuery', 'SELECT * FROM ser, FreePercent WHERE (ser.usn = FreePercent.usn_FP)');

-- The department coordinators: a login sees the students, marks and branch rows of these codes only.
CREATE TABLE kyt.Coordinator (
    Login name NOT NULL,
    BranchCode citext NOT NULL,
    PRIMARY KEY (Login, BranchCode)
);

CREATE TABLE kyt.SchemaVersion (
    Version integer NOT NULL,
    One boolean NOT NULL DEFAULT true PRIMARY KEY CHECK (One)
);

-- The functions the program's SQL calls, as the engine it was written for has them. Dates are day
-- numbers with the time as the fraction, day 0 being 30 December 1899, so that the difference of two
-- dates is a number of days.

-- Whole number, halves to the even neighbour.
CREATE FUNCTION kyt_fn.CInt(value double precision) RETURNS integer
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
BEGIN
    IF value = 'NaN' OR round(value) < -32768 OR round(value) > 32767 THEN
        RAISE EXCEPTION 'Overflow: CInt takes numbers from -32768 to 32767.' USING ERRCODE = 'KY001';
    END IF;
    RETURN round(value)::integer;  -- round() of a double rounds halves to even
END $$;

CREATE FUNCTION kyt_fn.CInt(value text) RETURNS integer
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
    number double precision;
BEGIN
    BEGIN
        number := btrim(value, E' \t\n\r\f\v')::double precision;
    EXCEPTION WHEN invalid_text_representation OR numeric_value_out_of_range THEN
        RAISE EXCEPTION 'Data type mismatch in criteria expression.' USING ERRCODE = 'KY002';
    END;
    IF number IN ('Infinity', '-Infinity', 'NaN') THEN
        RAISE EXCEPTION 'Data type mismatch in criteria expression.' USING ERRCODE = 'KY002';
    END IF;
    RETURN kyt_fn.CInt(number);
END $$;

-- A date written day first (05-11-1982, 5/11/82), or year first with four digits (1982-11-05); two-digit
-- years 00-29 are this century, 30-99 the last. A text that is no date gives null, so that one
-- student's odd date of birth leaves their age empty rather than failing the whole query.
CREATE FUNCTION kyt_fn.CDate(value text) RETURNS double precision
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
    parts text[];
    y integer;
    m integer;
    d integer;
BEGIN
    parts := regexp_match(btrim(value, E' \t\n\r\f\v'), '^([0-9]{1,4})[-/. ]([0-9]{1,2})[-/. ]([0-9]{1,4})$');
    IF parts IS NULL THEN
        RETURN NULL;
    END IF;
    IF length(parts[1]) = 4 THEN
        IF length(parts[3]) > 2 THEN
            RETURN NULL;
        END IF;
        y := parts[1]::integer; m := parts[2]::integer; d := parts[3]::integer;
    ELSIF length(parts[1]) <= 2 THEN
        d := parts[1]::integer; m := parts[2]::integer; y := parts[3]::integer;
        IF length(parts[3]) <= 2 THEN
            y := y + CASE WHEN y < 30 THEN 2000 ELSE 1900 END;
        END IF;
    ELSE
        RETURN NULL;
    END IF;
    IF y < 100 OR y > 9999 OR m < 1 OR m > 12 OR d < 1
       OR d > extract(day FROM make_date(y, m, 1) + interval '1 month' - interval '1 day') THEN
        RETURN NULL;
    END IF;
    RETURN make_date(y, m, d) - date '1899-12-30';
END $$;

CREATE FUNCTION kyt_fn.CDate(value double precision) RETURNS double precision
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ SELECT value $$;

-- Now as a day number in the officer's own time: each session sets kyt.utc_offset (seconds east of UTC)
-- to its computer's.
CREATE FUNCTION kyt_fn.Now() RETURNS double precision
LANGUAGE sql STABLE PARALLEL SAFE AS $$
    SELECT (extract(epoch FROM statement_timestamp())::double precision
            + coalesce(nullif(current_setting('kyt.utc_offset', true), '')::double precision, 0)) / 86400 + 25569
$$;

-- format(value, pattern): a numeric pattern (0.00, #,##0.0) rounds the number to the pattern's decimals
-- and returns it as a number, so that it still compares and sorts as one. The number is taken at 15
-- significant digits (what a double holds for certain; the cast to numeric does exactly that) and a half
-- is rounded away from zero (round of a numeric does that): 689 of 800 = 86.125 gives 86.13. Any other
-- pattern returns the value.
CREATE FUNCTION kyt_fn.format(value double precision, pattern text) RETURNS double precision
LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$
    SELECT CASE
        WHEN value IS NULL THEN NULL
        WHEN pattern IS NULL OR pattern = '' OR pattern ~ '[^0#.,]' OR value IN ('Infinity', '-Infinity', 'NaN')
            THEN value
        ELSE round(value::numeric, length(regexp_replace(coalesce(substring(pattern FROM '\.(.*)$'), ''), '[^0#]', '', 'g')))::double precision
    END
$$;

-- A number written as text (or an untyped null) formats as the number; any other text is no number.
CREATE FUNCTION kyt_fn.format(value text, pattern text) RETURNS double precision
LANGUAGE plpgsql IMMUTABLE PARALLEL SAFE AS $$
DECLARE
    number double precision;
BEGIN
    BEGIN
        number := btrim(value, E' \t\n\r\f\v')::double precision;
    EXCEPTION WHEN invalid_text_representation OR numeric_value_out_of_range THEN
        RAISE EXCEPTION 'Data type mismatch in criteria expression.' USING ERRCODE = 'KY002';
    END;
    RETURN kyt_fn.format(number, pattern);
END $$;

-- The LIKE of the query road: * any run of characters, ? one character, # one digit, [list] one character
-- of the list (ranges a-z allowed), [!list] one character not in it; letter case ignored. Sessions on
-- that road find these operators before the server's own.
CREATE FUNCTION kyt_like.jet_pattern(pattern text) RETURNS text
LANGUAGE plpgsql IMMUTABLE STRICT PARALLEL SAFE AS $$
DECLARE
    regex text := '^';
    i integer := 1;
    n integer := length(pattern);
    c text;
    close integer;
    list text;
BEGIN
    WHILE i <= n LOOP
        c := substr(pattern, i, 1);
        IF c = '*' THEN
            regex := regex || '.*';
        ELSIF c = '?' THEN
            regex := regex || '.';
        ELSIF c = '#' THEN
            regex := regex || '[0-9]';
        ELSIF c = '[' AND strpos(substr(pattern, i + 1), ']') > 0 THEN
            close := i + strpos(substr(pattern, i + 1), ']');
            list := substr(pattern, i + 1, close - i - 1);
            IF list = '!' THEN
                regex := regex || '.';
            ELSIF list <> '' THEN
                regex := regex || '['
                    || CASE WHEN left(list, 1) = '!' THEN '^' ELSE '' END
                    || regexp_replace(CASE WHEN left(list, 1) = '!' THEN substr(list, 2) ELSE list END,
                                      '([\\\]\[^])', '\\\1', 'g')
                    || ']';
            END IF;
            i := close;
        ELSE
            regex := regex || regexp_replace(c, '([.^$|()\[\]{}*+?\\])', '\\\1', 'g');
        END IF;
        i := i + 1;
    END LOOP;
    RETURN regex || '$';
END $$;

CREATE FUNCTION kyt_like.jet_like(value text, pattern text) RETURNS boolean
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ SELECT value ~* kyt_like.jet_pattern(pattern) $$;
CREATE FUNCTION kyt_like.jet_not_like(value text, pattern text) RETURNS boolean
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ SELECT value !~* kyt_like.jet_pattern(pattern) $$;
CREATE FUNCTION kyt_like.jet_like(value citext, pattern citext) RETURNS boolean
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ SELECT value::text ~* kyt_like.jet_pattern(pattern::text) $$;
CREATE FUNCTION kyt_like.jet_not_like(value citext, pattern citext) RETURNS boolean
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ SELECT value::text !~* kyt_like.jet_pattern(pattern::text) $$;
CREATE FUNCTION kyt_like.jet_like(value citext, pattern text) RETURNS boolean
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ SELECT value::text ~* kyt_like.jet_pattern(pattern) $$;
CREATE FUNCTION kyt_like.jet_not_like(value citext, pattern text) RETURNS boolean
LANGUAGE sql IMMUTABLE STRICT PARALLEL SAFE AS $$ SELECT value::text !~* kyt_like.jet_pattern(pattern) $$;

CREATE OPERATOR kyt_like.~~ (LEFTARG = text, RIGHTARG = text, FUNCTION = kyt_like.jet_like, NEGATOR = OPERATOR(kyt_like.!~~));
CREATE OPERATOR kyt_like.!~~ (LEFTARG = text, RIGHTARG = text, FUNCTION = kyt_like.jet_not_like, NEGATOR = OPERATOR(kyt_like.~~));
CREATE OPERATOR kyt_like.~~ (LEFTARG = citext, RIGHTARG = citext, FUNCTION = kyt_like.jet_like, NEGATOR = OPERATOR(kyt_like.!~~));
CREATE OPERATOR kyt_like.!~~ (LEFTARG = citext, RIGHTARG = citext, FUNCTION = kyt_like.jet_not_like, NEGATOR = OPERATOR(kyt_like.~~));
CREATE OPERATOR kyt_like.~~ (LEFTARG = citext, RIGHTARG = text, FUNCTION = kyt_like.jet_like, NEGATOR = OPERATOR(kyt_like.!~~));
CREATE OPERATOR kyt_like.!~~ (LEFTARG = citext, RIGHTARG = text, FUNCTION = kyt_like.jet_not_like, NEGATOR = OPERATOR(kyt_like.~~));

-- Who may do what. Officers (members of kyt_officer) read and write everything; coordinators (members of
-- kyt_coordinator) read the students of their branches only: Personal rows whose USN carries one of
-- their codes, Marks rows through those, their own codes in Branch. Every login keeps its own saved
-- queries. The row rules apply through views too: the saved queries are temporary views of the session,
-- which run with the rights of the one who uses them.

-- The branch code a USN carries: its 2 characters from position 6 when they are a code in Branch,
-- otherwise its 3 (a two-character code wins, as when a résumé is read). It reads all of Branch, whoever
-- asks.
CREATE FUNCTION kyt.usn_branch(usn text) RETURNS text
LANGUAGE sql STABLE SECURITY DEFINER PARALLEL SAFE SET search_path = pg_catalog, pg_temp AS $$
    SELECT CASE WHEN EXISTS (SELECT 1 FROM kyt.Branch b WHERE upper(b.BranchCode::text) = upper(substr(usn, 6, 2)))
                THEN upper(substr(usn, 6, 2)) ELSE upper(substr(usn, 6, 3)) END
$$;

-- The codes of the coordinator logged in (none for anyone else).
CREATE FUNCTION kyt.my_branches() RETURNS text[]
LANGUAGE sql STABLE PARALLEL SAFE SET search_path = pg_catalog, pg_temp AS $$
    SELECT coalesce(array_agg(upper(c.BranchCode::text)), '{}') FROM kyt.Coordinator c WHERE c.Login = current_user
$$;

ALTER TABLE kyt.Personal ENABLE ROW LEVEL SECURITY;
ALTER TABLE kyt.Marks ENABLE ROW LEVEL SECURITY;
ALTER TABLE kyt.Branch ENABLE ROW LEVEL SECURITY;
ALTER TABLE kyt.SavedQuery ENABLE ROW LEVEL SECURITY;
ALTER TABLE kyt.Coordinator ENABLE ROW LEVEL SECURITY;

CREATE POLICY officers ON kyt.Personal TO kyt_officer USING (true) WITH CHECK (true);
CREATE POLICY officers ON kyt.Marks TO kyt_officer USING (true) WITH CHECK (true);
CREATE POLICY officers ON kyt.Branch TO kyt_officer USING (true) WITH CHECK (true);
CREATE POLICY officers ON kyt.Coordinator TO kyt_officer USING (true) WITH CHECK (true);

CREATE POLICY coordinators ON kyt.Personal FOR SELECT TO kyt_coordinator
    USING (kyt.usn_branch(USN::text) IN (SELECT unnest(kyt.my_branches())));
CREATE POLICY coordinators ON kyt.Marks FOR SELECT TO kyt_coordinator
    USING (EXISTS (SELECT 1 FROM kyt.Personal p WHERE p.USN = Marks.usn));
CREATE POLICY coordinators ON kyt.Branch FOR SELECT TO kyt_coordinator
    USING (upper(BranchCode::text) IN (SELECT unnest(kyt.my_branches())));
CREATE POLICY coordinators ON kyt.Coordinator FOR SELECT TO kyt_coordinator USING (Login = current_user);

CREATE POLICY own_or_default ON kyt.SavedQuery FOR SELECT TO kyt_officer, kyt_coordinator
    USING (Login = current_user OR Login = '');
CREATE POLICY own_insert ON kyt.SavedQuery FOR INSERT TO kyt_officer, kyt_coordinator
    WITH CHECK (Login = current_user);
CREATE POLICY own_update ON kyt.SavedQuery FOR UPDATE TO kyt_officer, kyt_coordinator
    USING (Login = current_user) WITH CHECK (Login = current_user);
CREATE POLICY own_delete ON kyt.SavedQuery FOR DELETE TO kyt_officer, kyt_coordinator
    USING (Login = current_user);

GRANT USAGE ON SCHEMA kyt, kyt_fn, kyt_like TO kyt_officer, kyt_coordinator;
GRANT SELECT, INSERT, UPDATE, DELETE ON kyt.Personal, kyt.Marks, kyt.Branch, kyt.Coordinator TO kyt_officer;
GRANT SELECT ON kyt.Personal, kyt.Marks, kyt.Branch, kyt.Coordinator TO kyt_coordinator;
GRANT SELECT, INSERT, UPDATE, DELETE ON kyt.SavedQuery TO kyt_officer, kyt_coordinator;
GRANT SELECT ON kyt.SchemaVersion TO kyt_officer, kyt_coordinator;
