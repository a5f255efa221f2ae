-- Step 2: placement drives and what the companies' eligibility rules read.
--
-- A drive is one company's visit on one day with the criteria the officer chose for it. The students it
-- shortlisted are kept with it as they were then (name, branch, aggregate): a later extraction, a
-- correction of marks or a deleted student does not change an old shortlist. Each shortlisted student
-- carries the outcome the officer records.

CREATE TABLE Drive (
    DriveId INTEGER PRIMARY KEY,
    Company TEXT NOT NULL COLLATE NOCASE
        CONSTRAINT "Drive.Company is required" CHECK (length(trim(Company)) > 0)
        CONSTRAINT "Drive.Company holds at most 100 characters" CHECK (length(Company) <= 100),
    DriveDate TEXT NOT NULL                             -- year-month-day: 2027-02-12
        CONSTRAINT "Drive.DriveDate must be a date written year-month-day"
        CHECK (DriveDate GLOB '[0-9][0-9][0-9][0-9]-[01][0-9]-[0-3][0-9]'),
    Criteria TEXT NOT NULL,                             -- the query window's choices, one "name=value" a line
    Saved TEXT NOT NULL,                                -- when the drive was saved, year-month-day hour:minute
    LastRun TEXT,                                       -- when its shortlist was last taken or added to
    UNIQUE (Company, DriveDate)
) STRICT;

CREATE TABLE Shortlist (
    DriveId INTEGER NOT NULL REFERENCES Drive (DriveId),
    Place INTEGER NOT NULL,                             -- 1, 2, ... in the order the criteria ranked them
    USN TEXT NOT NULL COLLATE NOCASE,
    Name TEXT NOT NULL COLLATE NOCASE,
    BranchCode TEXT NOT NULL COLLATE NOCASE,
    Aggregate REAL,                                     -- the percentage the criteria computed then
    Outcome TEXT NOT NULL DEFAULT 'shortlisted' COLLATE NOCASE                -- shortlisted, interviewed, offered, joined, declined
        CONSTRAINT "Shortlist.Outcome must be one of the five outcomes"
        CHECK (Outcome IN ('shortlisted', 'interviewed', 'offered', 'joined', 'declined')),
    OutcomeDate TEXT,                                   -- when the outcome was last set, year-month-day
    PRIMARY KEY (DriveId, USN)
) STRICT;

-- What the eligibility rules of a company look at, one row per student: the percentages of the two
-- school-leaving levels, the number of semesters passed in more than one attempt (backlogs), and the
-- date of birth as a day number (null when it is no date). Attempts is free text: its leading number
-- counts, and a number written as a word.
CREATE VIEW Eligibility AS
SELECT p.USN AS USN,
       (SELECT m.Percentage FROM Marks m WHERE m.usn = p.USN AND m.education_level = 1) AS Tenth,
       (SELECT m.Percentage FROM Marks m WHERE m.usn = p.USN AND m.education_level = 2) AS Twelfth,
       (SELECT count(*) FROM Marks m
         WHERE m.usn = p.USN AND m.education_level >= 3
           AND (CAST(trim(m.Attempts) AS INTEGER) > 1
                OR lower(trim(m.Attempts)) IN ('two', 'three', 'four', 'five', 'six', 'seven', 'eight', 'nine',
                                               'ten', 'second', 'third', 'fourth', 'fifth'))) AS Backlogs,
       CDate(p.dob1) AS Born
FROM Personal p;
