// The conduit's English string table. The resource script and the native
// build both take their texts from this one list.
#pragma once

// Dialog and name strings.
#define TESSALY_CONDUIT_UI_STRINGS(X)                                   \
    X(1, "Tessaly Conduit")                                             \
    X(8004, "%s's Current Settings:")                                   \
    X(8005, "Synchronize the files.")                                   \
    X(8006, "Desktop overwrites Palm organizer.")                       \
    X(8007, "Palm organizer overwrites Desktop.")                       \
    X(8008, "Do Nothing.")                                              \
    X(8009, "HotSync Action for Tessaly Conduit")

// HotSync log messages; some are carried for the language libraries
// although nothing writes them.
#define TESSALY_CONDUIT_LOG_STRINGS(X)                                                                              \
    X(3311, "Could not open the local database.")                                                                    \
    X(3312, "Could not read the local database.")                                                                    \
    X(3313, "Could not open the remote database.")                                                                   \
    X(3314, "Could not read the remote database.")                                                                   \
    X(3315, "Could not read the record list of Palm organizer.")                                                     \
    X(3316, "Could not purge the deleted records on Palm organizer. %s")                                             \
    X(3317, "Could not purge the deleted records on the Desktop.")                                                   \
    X(3318, "Could not read the categories of Palm organizer.")                                                      \
    X(3319, "Could not read the categories of the Desktop.")                                                         \
    X(3322, "Could not write the categories of Palm organizer.")                                                     \
    X(3323, "Could not write the categories of the Desktop.")                                                        \
    X(3325, "-- Remote category %s has been deleted. The records in this category have been moved to 'Unfiled'.")   \
    X(3328, "The following record was modified on both Palm organizer and the Desktop: %s. This record will be "     \
            "duplicated on each platform. Delete the unwanted record and HotSync again.")                             \
    X(3331, "The following record was deleted on both Palm organizer and the Desktop: %s.")                          \
    X(3334, "The following record, %s,  was modified on one platform and deleted on the other. The modified "       \
            "version will appear on both platforms.")                                                                 \
    X(3338, "The following record was archived on both Palm organizer and the Desktop: %s.")                         \
    X(3341, "Could not archive the following record: %s.")                                                          \
    X(3343, "Could not open the archive file %s.")                                                                   \
    X(3345, "Could not save the archive file %s.")                                                                   \
    X(3346, "Could not copy the local database to its backup file.")                                                 \
    X(3348, "Could not clear Palm organizer's status flags. Error Code %s")                                          \
    X(3358, "Could not read the application information of Palm organizer.")                                        \
    X(3360, "Could not write the application information of Palm organizer.")                                       \
    X(3361, "Could not read the application information of the Desktop.")                                           \
    X(3362, "Could not write the application information of the Desktop.")                                          \
    X(3363, "Could not compare the record counts of Palm organizer and the Desktop.")                               \
    X(3364, " -- Could not save the local database. Error Code %s")                                                  \
    X(3365, " -- Could not open remote database. Error Code %s")                                                     \
    X(3366, " -- Could not close remote database. Error Code %s")                                                    \
    X(3367, " -- Could not delete remote database. Error Code %s")                                                   \
    X(3368, "-- Local category %s has been deleted. The records in this category have been moved to 'Unfiled'.")    \
    X(3369, "Could not move the local records in category '%s' to 'Unfiled'.")                                       \
    X(3370, "Only 15 categories are allowed.  All records in local category %s were changed to 'Unfiled'.")         \
    X(3371, "DB Name %1s, Creator ID %2s, Type %3u, Flags %4d, Version %5d")                                         \
    X(3372, "DB Name %1s, Creator ID %2s")                                                                           \
    X(3373, " -- Failed to open HH Database: %1s, Error %2u")                                                        \
    X(3374, " -- Failed to create HH Database: %1s, Error %2u")                                                      \
    X(3375, " -- PC failed to add record: %1s, Error %2u")                                                           \
    X(3376, " -- HH failed to add record: %1s, Error %2u")                                                           \
    X(3377, " -- PC failed to read record: %1s, Error %2u")                                                          \
    X(3378, " -- HH failed to read record: %1s, Error %2u")                                                          \
    X(3379, "Record ID %u")                                                                                          \
    X(3380, "Record Index %u")
