-- Step 4: the checks on the columns of Personal and Marks move from the tables into one domain per
-- column, under the same constraint names, so a failure is reported as before.
--
-- Why: the server reads a table's CHECK constraints back from their stored form and plans them again
-- for every statement that writes the table, and checks all of them whatever the statement sets. A
-- résumé writes Personal seven times (its row, five aggregates, the project titles) against 35
-- constraints, and Marks ten times against 12: that was more than half of the server's work. A domain's
-- checks are planned once per session, and a statement checks only the values it writes.
--
-- The coordinators' rules and the Eligibility view read some of these columns and would keep their
-- types from changing: they are made again, as steps 1 and 2 made them.

-- A Kyt open on this database elsewhere keeps views of its saved queries over these tables, which would
-- keep their types from changing.
DO $$
BEGIN
    IF EXISTS (SELECT 1
               FROM pg_depend d
               JOIN pg_rewrite r ON r.oid = d.objid
               JOIN pg_class v ON v.oid = r.ev_class
               WHERE d.classid = 'pg_rewrite'::regclass
                 AND d.refobjid IN ('kyt.Personal'::regclass, 'kyt.Marks'::regclass)
                 AND v.relnamespace <> 'kyt'::regnamespace) THEN
        RAISE EXCEPTION 'Kyt is open on this database elsewhere: ask everyone using it to close Kyt, then upgrade it again.';
    END IF;
END
$$;

DROP POLICY coordinators ON kyt.Marks;
DROP POLICY coordinators ON kyt.Personal;
DROP VIEW kyt.Eligibility;

CREATE DOMAIN kyt."Personal.USN" AS citext
    CONSTRAINT "Personal.USN is required" CHECK (length(VALUE) > 0)
    CONSTRAINT "Personal.USN holds at most 50 characters" CHECK (length(VALUE) <= 50);
CREATE DOMAIN kyt."Personal.BranchName" AS citext
    CONSTRAINT "Personal.BranchName holds at most 255 characters" CHECK (length(VALUE) <= 255);
CREATE DOMAIN kyt."Personal.Name" AS citext
    CONSTRAINT "Personal.Name is required" CHECK (length(VALUE) > 0)
    CONSTRAINT "Personal.Name holds at most 65 characters" CHECK (length(VALUE) <= 65);
CREATE DOMAIN kyt."Personal.SecondName" AS citext
    CONSTRAINT "Personal.SecondName holds at most 65 characters" CHECK (length(VALUE) <= 65);
CREATE DOMAIN kyt."Personal.dob1" AS citext
    CONSTRAINT "Personal.dob1 holds at most 10 characters" CHECK (length(VALUE) <= 10);
CREATE DOMAIN kyt."Personal.Gender" AS citext
    CONSTRAINT "Personal.Gender holds at most 10 characters" CHECK (length(VALUE) <= 10);
CREATE DOMAIN kyt."Personal.CET" AS citext
    CONSTRAINT "Personal.CET holds at most 14 characters" CHECK (length(VALUE) <= 14);
CREATE DOMAIN kyt."Personal.Other1" AS citext
    CONSTRAINT "Personal.Other1 holds at most 50 characters" CHECK (length(VALUE) <= 50);
CREATE DOMAIN kyt."Personal.Other2" AS citext
    CONSTRAINT "Personal.Other2 holds at most 50 characters" CHECK (length(VALUE) <= 50);
CREATE DOMAIN kyt."Personal.Other3" AS citext
    CONSTRAINT "Personal.Other3 holds at most 50 characters" CHECK (length(VALUE) <= 50);
CREATE DOMAIN kyt."Personal.Email" AS citext
    CONSTRAINT "Personal.Email holds at most 50 characters" CHECK (length(VALUE) <= 50);
CREATE DOMAIN kyt."Personal.Address1" AS citext
    CONSTRAINT "Personal.Address1 holds at most 100 characters" CHECK (length(VALUE) <= 100);
CREATE DOMAIN kyt."Personal.Address2" AS citext
    CONSTRAINT "Personal.Address2 holds at most 100 characters" CHECK (length(VALUE) <= 100);
CREATE DOMAIN kyt."Personal.Address4" AS citext
    CONSTRAINT "Personal.Address4 holds at most 255 characters" CHECK (length(VALUE) <= 255);
CREATE DOMAIN kyt."Personal.City" AS citext
    CONSTRAINT "Personal.City holds at most 50 characters" CHECK (length(VALUE) <= 50);
CREATE DOMAIN kyt."Personal.Pin" AS bigint
    CONSTRAINT "Personal.Pin must be a 32-bit whole number" CHECK (VALUE BETWEEN -2147483648 AND 2147483647);
CREATE DOMAIN kyt."Personal.PermAddress1" AS citext
    CONSTRAINT "Personal.PermAddress1 holds at most 100 characters" CHECK (length(VALUE) <= 100);
CREATE DOMAIN kyt."Personal.PermAddress2" AS citext
    CONSTRAINT "Personal.PermAddress2 holds at most 100 characters" CHECK (length(VALUE) <= 100);
CREATE DOMAIN kyt."Personal.PermAddress4" AS citext
    CONSTRAINT "Personal.PermAddress4 holds at most 255 characters" CHECK (length(VALUE) <= 255);
CREATE DOMAIN kyt."Personal.PermCity" AS citext
    CONSTRAINT "Personal.PermCity holds at most 50 characters" CHECK (length(VALUE) <= 50);
CREATE DOMAIN kyt."Personal.PermPin" AS bigint
    CONSTRAINT "Personal.PermPin must be a 32-bit whole number" CHECK (VALUE BETWEEN -2147483648 AND 2147483647);
CREATE DOMAIN kyt."Personal.Phone" AS citext
    CONSTRAINT "Personal.Phone holds at most 50 characters" CHECK (length(VALUE) <= 50);
CREATE DOMAIN kyt."Personal.hobbies" AS citext
    CONSTRAINT "Personal.hobbies holds at most 250 characters" CHECK (length(VALUE) <= 250);
CREATE DOMAIN kyt."Personal.eca" AS citext
    CONSTRAINT "Personal.eca holds at most 250 characters" CHECK (length(VALUE) <= 250);
CREATE DOMAIN kyt."Personal.Achievements" AS citext
    CONSTRAINT "Personal.Achievements holds at most 200 characters" CHECK (length(VALUE) <= 200);
CREATE DOMAIN kyt."Personal.prefinalproject1" AS citext
    CONSTRAINT "Personal.prefinalproject1 holds at most 255 characters" CHECK (length(VALUE) <= 255);
CREATE DOMAIN kyt."Personal.prefinalproject2" AS citext
    CONSTRAINT "Personal.prefinalproject2 holds at most 255 characters" CHECK (length(VALUE) <= 255);
CREATE DOMAIN kyt."Personal.finalproject1" AS citext
    CONSTRAINT "Personal.finalproject1 holds at most 255 characters" CHECK (length(VALUE) <= 255);
CREATE DOMAIN kyt."Personal.finalproject2" AS citext
    CONSTRAINT "Personal.finalproject2 holds at most 255 characters" CHECK (length(VALUE) <= 255);

CREATE DOMAIN kyt."Marks.usn" AS citext
    CONSTRAINT "Marks.usn is required" CHECK (length(VALUE) > 0)
    CONSTRAINT "Marks.usn holds at most 50 characters" CHECK (length(VALUE) <= 50);
CREATE DOMAIN kyt."Marks.education_level" AS integer
    CONSTRAINT "Marks.education_level must be a 16-bit whole number" CHECK (VALUE BETWEEN -32768 AND 32767);
CREATE DOMAIN kyt."Marks.Institution" AS citext
    CONSTRAINT "Marks.Institution holds at most 255 characters" CHECK (length(VALUE) <= 255);
CREATE DOMAIN kyt."Marks.obtained" AS integer
    CONSTRAINT "Marks.obtained must be a 16-bit whole number" CHECK (VALUE BETWEEN -32768 AND 32767);
CREATE DOMAIN kyt."Marks.max" AS integer
    CONSTRAINT "Marks.max must be a 16-bit whole number" CHECK (VALUE BETWEEN -32768 AND 32767);
CREATE DOMAIN kyt."Marks.class" AS citext
    CONSTRAINT "Marks.class holds at most 50 characters" CHECK (length(VALUE) <= 50);
CREATE DOMAIN kyt."Marks.PassingYear" AS citext
    CONSTRAINT "Marks.PassingYear is required" CHECK (length(VALUE) > 0)
    CONSTRAINT "Marks.PassingYear holds at most 50 characters" CHECK (length(VALUE) <= 50);
CREATE DOMAIN kyt."Marks.Attempts" AS citext
    CONSTRAINT "Marks.Attempts is required" CHECK (length(VALUE) > 0)
    CONSTRAINT "Marks.Attempts holds at most 50 characters" CHECK (length(VALUE) <= 50);

-- Each column: its table constraints dropped, then its type made its domain (no rewrite: the domain's
-- base type is the column's).
DO $$
DECLARE
    c record;
BEGIN
    FOR c IN
        SELECT con.conrelid::regclass AS tab, con.conname AS name
        FROM pg_constraint con
        WHERE con.contype = 'c' AND con.conrelid IN ('kyt.Personal'::regclass, 'kyt.Marks'::regclass)
    LOOP
        EXECUTE format('ALTER TABLE %s DROP CONSTRAINT %I', c.tab, c.name);
    END LOOP;
    FOR c IN
        SELECT a.attrelid::regclass AS tab, a.attname AS col, t.oid::regtype AS domain
        FROM pg_attribute a
        JOIN pg_class r ON r.oid = a.attrelid
        JOIN pg_type t ON t.typnamespace = 'kyt'::regnamespace AND t.typtype = 'd'
                      AND lower(t.typname) = lower(r.relname || '.' || a.attname)
        WHERE a.attrelid IN ('kyt.Personal'::regclass, 'kyt.Marks'::regclass) AND a.attnum > 0
              AND NOT a.attisdropped
    LOOP
        EXECUTE format('ALTER TABLE %s ALTER COLUMN %I TYPE %s', c.tab, c.col, c.domain);
    END LOOP;
END
$$;

CREATE POLICY coordinators ON kyt.Personal FOR SELECT TO kyt_coordinator
    USING (kyt.usn_branch(USN::text) IN (SELECT unnest(kyt.my_branches())));
CREATE POLICY coordinators ON kyt.Marks FOR SELECT TO kyt_coordinator
    USING (EXISTS (SELECT 1 FROM kyt.Personal p WHERE p.USN = Marks.usn));

-- Runs with the rights of the one who reads it, so a coordinator sees the rows of their branches only.
CREATE VIEW kyt.Eligibility WITH (security_invoker = true) AS
SELECT p.USN AS USN,
       (SELECT m.Percentage FROM kyt.Marks m WHERE m.usn = p.USN AND m.education_level = 1) AS Tenth,
       (SELECT m.Percentage FROM kyt.Marks m WHERE m.usn = p.USN AND m.education_level = 2) AS Twelfth,
       (SELECT count(*) FROM kyt.Marks m
         WHERE m.usn = p.USN AND m.education_level >= 3
           AND (coalesce(substring(m.Attempts::text FROM '^\s*([0-9]+)')::numeric, 0) > 1
                OR lower(btrim(m.Attempts::text)) IN ('two', 'three', 'four', 'five', 'six', 'seven', 'eight',
                                                      'nine', 'ten', 'second', 'third', 'fourth', 'fifth'))) AS Backlogs,
       kyt_fn.CDate(p.dob1::text) AS Born
FROM kyt.Personal p;
GRANT SELECT ON kyt.Eligibility TO kyt_officer, kyt_coordinator;

