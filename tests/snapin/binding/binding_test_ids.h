// Resource numbers of the binding suite's own strings and templates; far
// above tarq's, so the suite's strings never stand in for the snap-in's.
#pragma once

#define IDS_TEST_TITLE 60001
#define IDS_TEST_BROWSE_TITLE 60002
#define IDS_TEST_VALUES_TITLE 60003
#define IDS_TEST_TITLE_1023 60010
#define IDS_TEST_TITLE_1024 60011

#define IDC_TEST_NAME 10
#define IDC_TEST_FIELD 20
#define IDC_TEST_VALUES_EDIT 24
#define IDC_TEST_VALUES_SPIN 23
#define IDC_TEST_VALUES_LIST 15
