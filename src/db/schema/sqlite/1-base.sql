-- Step 1 of the student database on SQLite: the tables as the program first had them. `kyt-cli init-db`
-- runs every step in order in one transaction; PRAGMA user_version then holds the number of the last.
--
-- Conventions that the error numbers depend on (see native_error.cpp):
--   * text columns are COLLATE NOCASE: comparison, LIKE, ordering and the USN key ignore letter case;
--   * tables are STRICT, so a value of the wrong type fails as a conversion error;
--   * a CHECK named "<Table>.<Column> holds at most N characters" fails as a value too long for its field,
--     one named "<Table>.<Column> is required" as a required field left blank,
--     one named "<Table>.<Column> must be ..." as a conversion error.
-- The résumé reader inserts rows by position, so the column order of Personal and Marks is fixed.

PRAGMA application_id = 1266250785;  -- 'Kyt!'

-- One row per student.
CREATE TABLE Personal (
    USN TEXT NOT NULL COLLATE NOCASE PRIMARY KEY        -- 1  seat number in normal form, the key
        CONSTRAINT "Personal.USN is required" CHECK (length(USN) > 0)
        CONSTRAINT "Personal.USN holds at most 50 characters" CHECK (length(USN) <= 50),
    BranchName TEXT COLLATE NOCASE                      -- 2  full name of the branch, from Branch
        CONSTRAINT "Personal.BranchName holds at most 255 characters" CHECK (length(BranchName) <= 255),
    Name TEXT NOT NULL COLLATE NOCASE                   -- 3  student name, proper case (résumé table 1 row 2 cell 2)
        CONSTRAINT "Personal.Name is required" CHECK (length(Name) > 0)
        CONSTRAINT "Personal.Name holds at most 65 characters" CHECK (length(Name) <= 65),
    SecondName TEXT COLLATE NOCASE                      -- 4  a second name, proper case (row 5 cell 2)
        CONSTRAINT "Personal.SecondName holds at most 65 characters" CHECK (length(SecondName) <= 65),
    dob1 TEXT COLLATE NOCASE                            -- 5  date of birth, day-month-year: 05-11-1982 (row 3)
        CONSTRAINT "Personal.dob1 holds at most 10 characters" CHECK (length(dob1) <= 10),
    Gender TEXT COLLATE NOCASE                          -- 6  (row 2 cell 6)
        CONSTRAINT "Personal.Gender holds at most 10 characters" CHECK (length(Gender) <= 10),
    Languages TEXT COLLATE NOCASE,                      -- 7  (row 7 cell 1) unlimited
    CET TEXT COLLATE NOCASE                             -- 8  entrance test rank (row 11 cell 1)
        CONSTRAINT "Personal.CET holds at most 14 characters" CHECK (length(CET) <= 14),
    Other1 TEXT COLLATE NOCASE                          -- 9  (row 13 cell 1)
        CONSTRAINT "Personal.Other1 holds at most 50 characters" CHECK (length(Other1) <= 50),
    Other2 TEXT COLLATE NOCASE                          -- 10 (row 14 cell 1)
        CONSTRAINT "Personal.Other2 holds at most 50 characters" CHECK (length(Other2) <= 50),
    Other3 TEXT COLLATE NOCASE                          -- 11 (row 15 cell 1)
        CONSTRAINT "Personal.Other3 holds at most 50 characters" CHECK (length(Other3) <= 50),
    Email TEXT COLLATE NOCASE                           -- 12 e-mail address, lower case (row 5 cell 3)
        CONSTRAINT "Personal.Email holds at most 50 characters" CHECK (length(Email) <= 50),
    Address1 TEXT COLLATE NOCASE                        -- 13 (row 7 cell 2)
        CONSTRAINT "Personal.Address1 holds at most 100 characters" CHECK (length(Address1) <= 100),
    Address2 TEXT COLLATE NOCASE                        -- 14 (row 8 cell 2)
        CONSTRAINT "Personal.Address2 holds at most 100 characters" CHECK (length(Address2) <= 100),
    Address3 TEXT COLLATE NOCASE,                       -- 15 (row 9 cell 2) unlimited
    Address4 TEXT COLLATE NOCASE                        -- 16 always stored empty
        CONSTRAINT "Personal.Address4 holds at most 255 characters" CHECK (length(Address4) <= 255),
    City TEXT COLLATE NOCASE                            -- 17 (row 8 cell 3)
        CONSTRAINT "Personal.City holds at most 50 characters" CHECK (length(City) <= 50),
    Pin INTEGER                                         -- 18 number of the six digit boxes (row 10 cells 3-8)
        CONSTRAINT "Personal.Pin must be a 32-bit whole number" CHECK (Pin BETWEEN -2147483648 AND 2147483647),
    PermAddress1 TEXT COLLATE NOCASE                    -- 19 (row 12 cell 2)
        CONSTRAINT "Personal.PermAddress1 holds at most 100 characters" CHECK (length(PermAddress1) <= 100),
    PermAddress2 TEXT COLLATE NOCASE                    -- 20 (row 13 cell 2)
        CONSTRAINT "Personal.PermAddress2 holds at most 100 characters" CHECK (length(PermAddress2) <= 100),
    PermAddress3 TEXT COLLATE NOCASE,                   -- 21 (row 14 cell 2) unlimited
    PermAddress4 TEXT COLLATE NOCASE                    -- 22 always stored empty
        CONSTRAINT "Personal.PermAddress4 holds at most 255 characters" CHECK (length(PermAddress4) <= 255),
    PermCity TEXT COLLATE NOCASE                        -- 23 (row 12 cell 3)
        CONSTRAINT "Personal.PermCity holds at most 50 characters" CHECK (length(PermCity) <= 50),
    PermPin INTEGER                                     -- 24 number of the six digit boxes (row 15 cells 3-8)
        CONSTRAINT "Personal.PermPin must be a 32-bit whole number" CHECK (PermPin BETWEEN -2147483648 AND 2147483647),
    Phone TEXT COLLATE NOCASE                           -- 25 (row 10 cell 9)
        CONSTRAINT "Personal.Phone holds at most 50 characters" CHECK (length(Phone) <= 50),
    hobbies TEXT COLLATE NOCASE                         -- 26 (row 18 cell 1)
        CONSTRAINT "Personal.hobbies holds at most 250 characters" CHECK (length(hobbies) <= 250),
    eca TEXT COLLATE NOCASE                             -- 27 extra-curricular activities (row 18 cell 2)
        CONSTRAINT "Personal.eca holds at most 250 characters" CHECK (length(eca) <= 250),
    Achievements TEXT COLLATE NOCASE                    -- 28 (row 17 cell 3)
        CONSTRAINT "Personal.Achievements holds at most 200 characters" CHECK (length(Achievements) <= 200),
    one_to_4 REAL DEFAULT 2,                            -- 29-33 aggregate percentage of semesters 1 to N,
    one_to_5 REAL DEFAULT 2,                            --       two decimals; 2, 2, 2, 0, 0 until semester N
    one_to_6 REAL DEFAULT 2,                            --       is stored
    one_to_7 REAL DEFAULT 0,
    one_to_8 REAL DEFAULT 0,
    prefinalproject1 TEXT COLLATE NOCASE DEFAULT 'e'    -- 34 pre-final project title, first 254 characters
        CONSTRAINT "Personal.prefinalproject1 holds at most 255 characters" CHECK (length(prefinalproject1) <= 255),
    prefinalproject2 TEXT COLLATE NOCASE DEFAULT 'e'    -- 35 its continuation
        CONSTRAINT "Personal.prefinalproject2 holds at most 255 characters" CHECK (length(prefinalproject2) <= 255),
    finalproject1 TEXT COLLATE NOCASE DEFAULT 'e'       -- 36 final project title, first 254 characters
        CONSTRAINT "Personal.finalproject1 holds at most 255 characters" CHECK (length(finalproject1) <= 255),
    finalproject2 TEXT COLLATE NOCASE DEFAULT 'e'       -- 37 its continuation
        CONSTRAINT "Personal.finalproject2 holds at most 255 characters" CHECK (length(finalproject2) <= 255)
) STRICT;

-- One row per student and education level: 1 and 2 the school-leaving levels, semester n is level n + 2
-- for BE and n + 3 for MCA.
CREATE TABLE Marks (
    usn TEXT NOT NULL COLLATE NOCASE                    -- 1 the student's USN, as in Personal
        CONSTRAINT "Marks.usn is required" CHECK (length(usn) > 0)
        CONSTRAINT "Marks.usn holds at most 50 characters" CHECK (length(usn) <= 50),
    education_level INTEGER NOT NULL                    -- 2
        CONSTRAINT "Marks.education_level must be a 16-bit whole number" CHECK (education_level BETWEEN -32768 AND 32767),
    Institution TEXT COLLATE NOCASE                     -- 3
        CONSTRAINT "Marks.Institution holds at most 255 characters" CHECK (length(Institution) <= 255),
    obtained INTEGER                                    -- 4 marks obtained
        CONSTRAINT "Marks.obtained must be a 16-bit whole number" CHECK (obtained BETWEEN -32768 AND 32767),
    max INTEGER                                         -- 5 maximum marks
        CONSTRAINT "Marks.max must be a 16-bit whole number" CHECK (max BETWEEN -32768 AND 32767),
    Percentage REAL,                                    -- 6 percentage of the level, 72.5
    class TEXT COLLATE NOCASE                           -- 7 Second, First, FCD for semesters
        CONSTRAINT "Marks.class holds at most 50 characters" CHECK (length(class) <= 50),
    PassingYear TEXT NOT NULL COLLATE NOCASE            -- 8 month and year of passing
        CONSTRAINT "Marks.PassingYear is required" CHECK (length(PassingYear) > 0)
        CONSTRAINT "Marks.PassingYear holds at most 50 characters" CHECK (length(PassingYear) <= 50),
    Attempts TEXT NOT NULL COLLATE NOCASE               -- 9 number of attempts
        CONSTRAINT "Marks.Attempts is required" CHECK (length(Attempts) > 0)
        CONSTRAINT "Marks.Attempts holds at most 50 characters" CHECK (length(Attempts) <= 50),
    UNIQUE (usn, education_level)
) STRICT;

-- The branches of the college.
CREATE TABLE Branch (
    BranchCode TEXT NOT NULL COLLATE NOCASE PRIMARY KEY -- code as written inside a USN, upper case
        CONSTRAINT "Branch.BranchCode is required" CHECK (length(BranchCode) > 0)
        CONSTRAINT "Branch.BranchCode holds at most 10 characters" CHECK (length(BranchCode) <= 10),
    Branch TEXT NOT NULL COLLATE NOCASE                 -- full name
        CONSTRAINT "Branch.Branch is required" CHECK (length(Branch) > 0)
        CONSTRAINT "Branch.Branch holds at most 255 characters" CHECK (length(Branch) <= 255)
) STRICT;

-- Saved queries: each is a view of the same name, made from the SQL kept here as the program wrote it.
CREATE TABLE SavedQuery (
    Name TEXT NOT NULL COLLATE NOCASE PRIMARY KEY,
    SQL TEXT NOT NULL
) STRICT;

INSERT INTO SavedQuery VALUES ('ser', 'SELECT * FROM Personal');
INSERT INTO SavedQuery VALUES ('FreePercent',
    'SELECT USN as USN_FP, Count(*) as SemsCount, format(sum(obtained)/sum(max) * 100,''0.00'') AS Percent1To6 From marks Where education_Level >=2 + 1+ 0 And education_Level <= 2 + 6+ 0 GROUP BY USN');
INSERT INTO SavedQuery VALUES ('MergeQuery',
    'SELECT * FROM ser, FreePercent WHERE (ser.usn = FreePercent.usn_FP)');
