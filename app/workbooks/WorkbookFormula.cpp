#include "WorkbookFormula.h"

#include "Workbook.h"

#include <algorithm>
#include <cmath>

namespace ferrolyt {

namespace {

class TFormulaEvaluator {
public:
    TFormulaEvaluator(TWorkbook& book, TWorksheet& sheet, TFormulaCells& busy)
        : book_(book), sheet_(sheet), busy_(busy)
    {
    }

    std::optional<double> Run(const std::string& formula)
    {
        text_ = formula;
        pos_ = (!text_.empty() && text_[0] == '=') ? 1 : 0;
        ok_ = true;
        const double v = Expr();
        Skip();
        if (!ok_ || pos_ != text_.size() || !std::isfinite(v))
            return std::nullopt;
        return v;
    }

private:
    void Skip()
    {
        while (pos_ < text_.size() && text_[pos_] == ' ')
            ++pos_;
    }
    bool Eat(char ch)
    {
        Skip();
        if (pos_ < text_.size() && text_[pos_] == ch) {
            ++pos_;
            return true;
        }
        return false;
    }

    double Expr()
    {
        double v = Term();
        for (;;) {
            if (Eat('+'))
                v += Term();
            else if (Eat('-'))
                v -= Term();
            else
                return v;
        }
    }

    double Term()
    {
        double v = Factor();
        for (;;) {
            if (Eat('*')) {
                v *= Factor();
            } else if (Eat('/')) {
                const double d = Factor();
                if (d == 0)
                    ok_ = false;
                else
                    v /= d;
            } else {
                return v;
            }
        }
    }

    double Factor()
    {
        if (Eat('-'))
            return -Factor();
        if (Eat('+'))
            return Factor();
        if (Eat('(')) {
            const double v = Expr();
            if (!Eat(')'))
                ok_ = false;
            return v;
        }
        Skip();
        if (pos_ < text_.size() && (std::isdigit(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '.')) {
            std::size_t used = 0;
            double v = 0;
            try {
                v = std::stod(text_.substr(pos_), &used);
            } catch (const std::exception&) {
                ok_ = false;
            }
            pos_ += used;
            return v;
        }
        // A function name or a reference.
        const std::size_t start = pos_;
        std::string word;
        while (pos_ < text_.size() && std::isalpha(static_cast<unsigned char>(text_[pos_])))
            word += static_cast<char>(std::toupper(static_cast<unsigned char>(text_[pos_++])));
        if (!word.empty() && Eat('(')) {
            std::vector<double> args;
            do {
                Argument(args);
            } while (ok_ && Eat(','));
            if (!Eat(')'))
                ok_ = false;
            return Apply(word, args);
        }
        pos_ = start;
        std::vector<double> values;
        bool single = false;
        Reference(values, single);
        if (!single || values.size() != 1) {
            ok_ = false;
            return 0;
        }
        return values.front();
    }

    static double Sum(const std::vector<double>& a)
    {
        double s = 0;
        for (double v : a)
            s += v;
        return s;
    }

    static double Apply(const std::string& fn, const std::vector<double>& a)
    {
        if (fn == "SUM")
            return Sum(a);
        if (fn == "COUNT")
            return static_cast<double>(a.size());
        if (a.empty())
            return 0;
        if (fn == "AVERAGE")
            return Sum(a) / static_cast<double>(a.size());
        if (fn == "MIN")
            return *std::min_element(a.begin(), a.end());
        if (fn == "MAX")
            return *std::max_element(a.begin(), a.end());
        return std::nan("");
    }

    // An argument: a range (its numbers) or an expression.
    void Argument(std::vector<double>& args)
    {
        const std::size_t start = pos_;
        std::vector<double> values;
        bool single = false;
        if (Reference(values, single) && !single) {
            Skip();
            if (pos_ < text_.size() && (text_[pos_] == ',' || text_[pos_] == ')')) {
                args.insert(args.end(), values.begin(), values.end());
                return;
            }
        }
        pos_ = start;
        ok_ = true;
        args.push_back(Expr());
    }

    // Reads [sheet!]A1[:B2]; a single cell gives its number (empty 0), a
    // block the numbers it holds.
    bool Reference(std::vector<double>& values, bool& single)
    {
        Skip();
        TWorksheet* sheet = &sheet_;
        std::string name;
        const std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '\'') {
            const auto end = text_.find('\'', pos_ + 1);
            if (end == std::string::npos || end + 1 >= text_.size() || text_[end + 1] != '!') {
                ok_ = false;
                return false;
            }
            name = text_.substr(pos_ + 1, end - pos_ - 1);
            pos_ = end + 2;
        } else {
            const auto bang = text_.find('!', pos_);
            const auto stop = text_.find_first_of("+-*/(),: ", pos_);
            if (bang != std::string::npos && (stop == std::string::npos || bang < stop)) {
                name = text_.substr(pos_, bang - pos_);
                pos_ = bang + 1;
            }
        }
        if (!name.empty()) {
            sheet = book_.SheetByName(name);
            if (!sheet) {
                ok_ = false;
                return false;
            }
        }
        auto token = [this] {
            std::string t;
            while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '$'))
                t += text_[pos_++];
            return t;
        };
        std::string a = token();
        if (pos_ < text_.size() && text_[pos_] == ':') {
            ++pos_;
            a += ":" + token();
        }
        const auto rect = ParseRangeAddress(a);
        if (a.empty() || !rect) {
            pos_ = start;
            ok_ = false;
            return false;
        }
        single = rect->RowCount() == 1 && rect->ColCount() == 1;
        if (single) {
            const TCellValue v = Value(*sheet, rect->Row1, rect->Col1);
            if (const double* d = std::get_if<double>(&v))
                values.push_back(*d);
            else if (std::holds_alternative<std::monostate>(v))
                values.push_back(0);
            else
                ok_ = false;
            return true;
        }
        for (const auto& [key, cell] : sheet->CellMap())
            if (rect->Contains(key.first, key.second)) {
                const TCellValue v = Value(*sheet, key.first, key.second);
                if (const double* d = std::get_if<double>(&v))
                    values.push_back(*d);
            }
        return true;
    }

    TCellValue Value(TWorksheet& sheet, int row, int col)
    {
        const auto key = std::make_pair(static_cast<const TWorksheet*>(&sheet), std::make_pair(row, col));
        if (busy_.count(key)) { // a circular reference
            ok_ = false;
            return {};
        }
        TCellValue v = book_.Evaluate(sheet, row, col);
        const TCell* cell = sheet.FindCell(row, col);
        if (cell && !cell->Formula.empty() && std::holds_alternative<std::monostate>(v))
            ok_ = false; // the referenced formula has no result either
        return v;
    }

    TWorkbook& book_;
    TWorksheet& sheet_;
    TFormulaCells& busy_;
    std::string text_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

} // namespace

std::optional<double> EvaluateFormula(TWorkbook& book, TWorksheet& sheet, const std::string& formula,
                                      TFormulaCells& busy)
{
    TFormulaEvaluator eval(book, sheet, busy);
    return eval.Run(formula);
}

} // namespace ferrolyt
