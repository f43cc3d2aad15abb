-- A book as the program before UIDs left it: no uid column, no trigger, no
-- index; accounts with their passwords as typed.
create table "userMaster" ("user" text, "Password" text);
create table "main" ("user" text, "category" text, "subCategory" text, "firstName" text, "secondName" text,
  "address" text, "phone" text, "phone2" text, "mobile" text, "fax" text, "dobDate" text, "dobMonth" text,
  "dobYear" text, "aniDate" text, "aniMonth" text, "aniYear" text, "addressOff" text, "phoneOff" text,
  "phone2Off" text, "mobileOff" text, "faxOff" text, "EMailH" text, "EMailO" text);
create table "printDetails" ("category" text, "subCategory" text, "firstName" text, "secondName" text,
  "address" text, "phone" text, "phone2" text, "mobile" text, "fax" text, "dobDate" text, "dobMonth" text,
  "dobYear" text, "aniDate" text, "aniMonth" text, "aniYear" text, "addressOff" text, "phoneOff" text,
  "phone2Off" text, "mobileOff" text, "faxOff" text, "EMailH" text, "EMailO" text);
insert into "userMaster" values ('ann', 'pw'), ('bo', 'pw');
insert into "main" values
  ('ann', 'Friends', 'School', 'Amy', 'Lee', '1 Main St' || char(13, 10) || 'Flat 2', '5550123', '5550124',
   '9123456780', '5550125', '7', '3', '1980', '15', '6', '2005', 'Work Plaza 3, Springfield', '5550200', '',
   '9123456781', '5550201', 'amy@home.example', 'amy@work.example'),
  ('ann', 'Relatives', '', 'Ελένη', 'Παπαδοπούλου', 'Οδός Αθηνάς 12; Αθήνα', '2105550100', '', '', '', '29',
   '2', '1984', '', '', '', '', '', '', '', '', 'eleni@example.gr', ''),
  ('ann', 'Business Partners', '', 'Ned', 'O''Brien, Jr.; III', '', '', '', '', '', '', '', '', '', '', '',
   '', '0207946000', '', '', '', '', 'ned@obrien.example'),
  ('ann', '', '', 'Cy', null, null, '5550999', null, null, null, null, null, null, null, null, null, null,
   null, null, null, null, null, null),
  ('bo', 'Work', '', 'Not', 'Ann''s', '', '', '', '', '', '', '', '', '', '', '', '', '', '', '', '', '', '');
