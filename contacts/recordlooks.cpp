#include "contacts/recordlooks.h"

namespace telmira::contacts {

QStringList ArchiveRecordLook() {
    return {
        "Name=Телефон; Bold=TRUE; Shift=4; Color=$C0E1EB; SelColor=$C0C0C0; CheckedColor=$B1BA97; "
        "CheckedFieldName=Checked; Select=; Name1=ДатаВремя;",
        "Name=Имя1; NameMaxWidth=300; Bold=TRUE; Underline=TRUE; Select=; Shift=50; YShift=3; "
        "YCenter=TRUE; Name1=Имя11;",
        "Name=Имя2; NameMaxWidth=300; Select=; Shift=50; YShift=3; Name1=Имя21;",
        "Name=Имя3; NameMaxWidth=300; Select=; Shift=50; YShift=3; Name1=Имя31;",
        "Name=Имя4; NameMaxWidth=300; Select=; Shift=50; YShift=3; Name1=Имя41;",
        "Name=Имя5; NameMaxWidth=300; Select=; Shift=50; YShift=3; Name1=Имя51;",
        "Picture=1; Shift=3; PictureIndex=CalculatedType; PicTop=-1; MinRecordHeight=68;"};
}

QStringList PhoneBookRecordLook() {
    return {
        "Name=Имя; Bold=TRUE; Shift=3; Color=$FF00000F; SelColor=$C0C0C0; CheckedColor=$C0E1EB; "
        "CheckedFieldName=ImportToPhone; Select=;",
        "Name=Ник; Underline=TRUE; Select=;",
        "Name=Phone1Full; Label=Phone1Label; Select=;",
        "Name=Phone2Full; Label=Phone2Label; Select=;",
        "Name=Phone3Full; Label=Phone3Label; Select=;",
        "Name=Phone4Full; Label=Phone4Label; Select=;",
        "Name=Phone5Full; Label=Phone5Label; Select=;"};
}

QStringList MelodyRecordLook() {
    return {
        "Name=Имя; Shift=2; Color=$00FFF9F9; RowHeight=16; Delimiter=Type; DelimiterValue=4; "
        "DelimiterColor=$FF00000F; DelimiterShift=16; Picture=2; PicTop=5; PictureIndex=FileName;"};
}

} // namespace telmira::contacts
