#pragma once
// The corner of a table view, where the row-number column meets the header
// row, drawn as a header section with a text of its own ("№").

class QString;
class QTableView;

void SetCornerText(QTableView& view, const QString& text);
