// Moving the highlight of a paged list: the arithmetic the playlist and the
// file selector share. Each caller decides which keys it routes here and
// what it redraws.
#pragma once

// A highlighted entry and the page of the list it shows (pages of `rows`
// entries each, page p holding entries p*rows .. p*rows+rows-1).
struct ListPosition {
    int selected;
    int page;
};

// The position after `key` in a list of `count` entries shown `rows` at a
// time: Up and Down move by one entry, PgUp and PgDn to the first entry of
// the previous and next page, Home and End to the first and last entry; the
// highlight never leaves the list and the page is always the highlight's.
// Other keys leave the position as it was. An empty list keeps entry 0;
// `rows` below 1 keeps every entry on page 0.
ListPosition page_list(ListPosition position, int key, int count, int rows);
