-- The history of extraction runs: each run, the students it stored (with the rows a replaced student had
-- before), and the faults of the résumés it refused; enough to list the runs, write notices to the
-- students refused, and take a run back.

-- One row per run, in the order the runs started.
CREATE TABLE ExtractionRun (
    RunId INTEGER PRIMARY KEY,
    StartedAt TEXT NOT NULL,          -- local time, 2027-02-12 14:03:09
    FinishedAt TEXT,                  -- null while it runs, or when the program was stopped during it
    Folder TEXT NOT NULL,
    UserName TEXT NOT NULL,           -- the login that ran it
    ReplaceStored INTEGER NOT NULL,   -- 1: re-submitted résumés replaced the stored students
    Scanned INTEGER NOT NULL DEFAULT 0,
    Outcome TEXT,                     -- how it ended, in words
    RevertedAt TEXT,                  -- when it was taken back; null while it stands
    RevertedBy TEXT
) STRICT;

-- Each student a run stored, once: added (a new USN) or replaced (its rows before are in RunPersonal and
-- RunMarks).
CREATE TABLE RunStudent (
    RunId INTEGER NOT NULL REFERENCES ExtractionRun (RunId),
    USN TEXT NOT NULL COLLATE NOCASE,
    Action TEXT NOT NULL CHECK (Action IN ('added', 'replaced')),
    PRIMARY KEY (RunId, USN)
) STRICT;
CREATE INDEX RunStudentByUsn ON RunStudent (USN);

-- A replaced student's rows as the run found them: RunId, then the columns of Personal and Marks.
CREATE TABLE RunPersonal (
    RunId INTEGER NOT NULL REFERENCES ExtractionRun (RunId),
    USN TEXT NOT NULL COLLATE NOCASE, BranchName TEXT, Name TEXT NOT NULL, SecondName TEXT, dob1 TEXT, Gender TEXT,
    Languages TEXT, CET TEXT, Other1 TEXT, Other2 TEXT, Other3 TEXT, Email TEXT, Address1 TEXT, Address2 TEXT,
    Address3 TEXT, Address4 TEXT, City TEXT, Pin INTEGER, PermAddress1 TEXT, PermAddress2 TEXT, PermAddress3 TEXT,
    PermAddress4 TEXT, PermCity TEXT, PermPin INTEGER, Phone TEXT, hobbies TEXT, eca TEXT, Achievements TEXT,
    one_to_4 REAL, one_to_5 REAL, one_to_6 REAL, one_to_7 REAL, one_to_8 REAL,
    prefinalproject1 TEXT, prefinalproject2 TEXT, finalproject1 TEXT, finalproject2 TEXT,
    PRIMARY KEY (RunId, USN)
) STRICT;

CREATE TABLE RunMarks (
    RunId INTEGER NOT NULL REFERENCES ExtractionRun (RunId),
    usn TEXT NOT NULL COLLATE NOCASE, education_level INTEGER NOT NULL, Institution TEXT, obtained INTEGER,
    max INTEGER, Percentage REAL, class TEXT, PassingYear TEXT NOT NULL, Attempts TEXT NOT NULL,
    PRIMARY KEY (RunId, usn, education_level)
) STRICT;

-- The faults of each refused résumé, as Kyt_errors.csv has them; Document is the résumé's place in the run.
CREATE TABLE RunFault (
    RunId INTEGER NOT NULL REFERENCES ExtractionRun (RunId),
    Document INTEGER NOT NULL,
    Seq INTEGER NOT NULL,
    File TEXT NOT NULL,
    USN TEXT NOT NULL,                -- as the student wrote it
    Name TEXT NOT NULL,               -- as the student wrote it
    FormTable INTEGER NOT NULL,       -- where on the form, counted from 1; 0 when the fault is not one place
    FormRow INTEGER NOT NULL,
    FormCell INTEGER NOT NULL,
    Field TEXT NOT NULL,
    Reason TEXT NOT NULL,
    PRIMARY KEY (RunId, Document, Seq)
) STRICT;
