alter table TBL_SALES_PAYMENTS add PAY_REFERENCE varchar(40){{immediate}}^
alter table TBL_SALES_PAYMENTS add constraint UQ_SALES_PAYMENTS_REFERENCE unique (PAY_REFERENCE){{immediate}}^
create table TBL_PAYMENT_ATTEMPTS (
    PAY_REFERENCE      varchar(40) not null,
    SALES_ID           integer not null,
    AMOUNT             bigint not null,
    STATE              varchar(10) not null,
    POI_TRANSACTION_ID varchar(60),
    CREATED            timestamp not null,
    UPDATED            timestamp not null,
    constraint PK_PAYMENT_ATTEMPTS primary key (PAY_REFERENCE),
    constraint FK_PAYMENT_ATTEMPTS_HEADER foreign key (SALES_ID)
        references TBL_SALES_HEADERS (SALES_ID) on delete cascade
        using index IX_PAYMENT_ATTEMPTS_SALES_ID
){{immediate}}^
create index IX_PAYMENT_ATTEMPTS_STATE on TBL_PAYMENT_ATTEMPTS (STATE){{immediate}}^
