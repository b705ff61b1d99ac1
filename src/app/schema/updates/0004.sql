/*
  Schema version 4: a card payment attempt names the terminal and the journal its request went
  to, and keeps who decided it when a member of staff ended its doubt. The longer states
  (RESOLVED-PAID, RESOLVED-NOT-PAID) need a wider column.
*/
alter table TBL_PAYMENT_ATTEMPTS alter STATE type varchar(20)^
alter table TBL_PAYMENT_ATTEMPTS add TERMINAL_ID varchar(40)^
alter table TBL_PAYMENT_ATTEMPTS add JOURNAL_ID varchar(60)^
alter table TBL_PAYMENT_ATTEMPTS add DECIDED_BY varchar(60)^
alter table TBL_PAYMENT_ATTEMPTS add DECIDED_AT timestamp^
