/*
  KPAdmin.gdb: the back-office database.

  Holds the schema scripts that bring a kiosk database up to a later version.
  Shipped empty: a kiosk database made from kiosk.sql is current.
*/

create table TBL_SQLUPDATES (
    DB_VERSION  integer not null,
    PRIORITY    integer default 0 not null,
    SQL_MEMO    blob sub_type text,
    constraint PK_SQLUPDATES primary key (DB_VERSION)
);

commit;
