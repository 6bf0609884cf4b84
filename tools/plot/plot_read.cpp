#include "plot_read.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>

#include "case_text.hpp"
#include "plot_number.hpp"

namespace korva::plot {

namespace {

bool is_separator(char c) {
    return c == ' ' || c == '\t' || c == ',';
}

std::vector<std::string_view> split(std::string_view s) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && is_separator(s[i])) ++i;
        std::size_t j = i;
        while (j < s.size() && !is_separator(s[j])) ++j;
        if (j > i) out.push_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

std::string upper(std::string_view s) {
    std::string u(s);
    for (char& c : u)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return u;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The line as it may be quoted in a message: printable ASCII only, at most 60 characters.
std::string quoted(std::string_view s) {
    std::string q = "\"";
    for (std::size_t i = 0; i < s.size() && i < 60; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        q += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
    if (s.size() > 60) q += "...";
    return q + "\"";
}

struct quoted_text {
    bool found = false;
    std::string_view head;  // everything before the opening quote
    std::string_view text;  // between the outermost quotes
    bool closed = true;
};

quoted_text find_quoted(std::string_view line) {
    quoted_text q;
    auto open = line.find('"');
    if (open == std::string_view::npos) {
        q.head = line;
        return q;
    }
    q.found = true;
    q.head = line.substr(0, open);
    auto close = line.rfind('"');
    if (close > open) {
        q.text = line.substr(open + 1, close - open - 1);
    } else {
        q.text = line.substr(open + 1);
        q.closed = false;
    }
    return q;
}

class reader {
  public:
    reader(const std::string& name, std::ostream& warn) : name_(name), warn_(warn) {}

    void take(std::string_view raw) {
        ++line_no_;
        std::string_view line = trim(raw);
        if (line.empty()) return;
        char c = line.front();
        if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') {
            data_line(line);
            after_draw_ = false;
            after_title_ = false;
            return;
        }
        bool was_title = after_title_;
        bool was_draw = after_draw_;
        after_title_ = false;
        after_draw_ = false;
        auto tok = split(line);
        std::string key = upper(tok[0]);
        if (key == "PLOT" || key == "JOIN") {
            if (tok.size() > 1) warning("arguments after " + key + " ignored: " + quoted(line));
            draw(key == "PLOT", was_draw);
            after_draw_ = true;
        } else if (key == "TITLE") {
            title_line(line);
        } else if (key == "CASE") {
            case_line(line, was_title);
        } else if (key == "SET" && tok.size() >= 2) {
            set_line(line, tok);
        } else {
            warning("unknown command " + quoted(line) + ", line skipped");
        }
    }

    plot_file finish() {
        if (!pending_.empty())
            warning(std::to_string(pending_.size()) +
                        " points from this line on are not followed by PLOT or JOIN and are not "
                        "drawn",
                    pending_first_);
        if (warnings_ > max_warnings)
            warn_ << name_ << ": " << warnings_ - max_warnings << " more warnings not shown\n";
        return std::move(plot_);
    }

  private:
    // A file that is not a plot file at all would otherwise give one message per line.
    static constexpr int max_warnings = 20;

    void warning(const std::string& what, int line = 0) {
        if (++warnings_ > max_warnings) return;
        warn_ << name_ << ":" << (line > 0 ? line : line_no_) << ": warning: " << what << "\n";
    }

    void data_line(std::string_view line) {
        auto tok = split(line);
        point p;
        if (tok.size() != 2 || !parse_real(tok[0], p.x) || !parse_real(tok[1], p.y))
            throw plot_error{line_no_, "malformed data line " + quoted(line) +
                                           " (expected two finite numbers x y)"};
        if (pending_.empty()) pending_first_ = line_no_;
        pending_.push_back(p);
    }

    // Points given since the last drawing command become a new curve; with none given, a
    // PLOT or JOIN right after another drawing command adds its style to that command's curve.
    void draw(bool markers, bool right_after_draw) {
        if (!pending_.empty()) {
            curve c;
            c.points = std::move(pending_);
            pending_.clear();
            c.first_line = pending_first_;
            plot_.curves.push_back(std::move(c));
            last_curve_ = static_cast<int>(plot_.curves.size()) - 1;
        } else if (!right_after_draw || last_curve_ < 0) {
            return;  // nothing new to draw, as after the last curve of a two-channel file
        }
        curve& c = plot_.curves[static_cast<std::size_t>(last_curve_)];
        if (markers && !c.markers) {
            c.markers = true;
            c.symbol = symbol_;
            c.symbol_name = symbol_name_;
            c.symbol_size = symbol_size_;
        } else if (!markers) {
            c.line = true;
        }
    }

    bool number(std::string_view tok, double& v, const char* what, std::string_view line) {
        if (parse_real(tok, v)) return true;
        warning(std::string("cannot read ") + what + " in " + quoted(line) + ", line skipped");
        return false;
    }

    void title_line(std::string_view line) {
        quoted_text q = find_quoted(line);
        if (!q.found) {
            warning("TITLE without quoted text " + quoted(line) + ", line skipped");
            return;
        }
        if (!q.closed) warning("TITLE text has no closing quote; taken to the end of the line");
        auto tok = split(q.head);
        title t;
        t.text = std::string(q.text);
        t.line = line_no_;
        std::size_t i = 1;
        std::string where = tok.size() > 1 ? upper(tok[1]) : "";
        if (where == "BOTTOM" || where == "TOP" || where == "LEFT") {
            t.where = where == "BOTTOM" ? placement::bottom
                      : where == "TOP"  ? placement::top
                                        : placement::left;
            i = 2;
        } else {
            if (tok.size() < 3) {
                warning("TITLE without position or placement " + quoted(line) + ", line skipped");
                return;
            }
            if (!number(tok[1], t.x, "the TITLE position", line) ||
                !number(tok[2], t.y, "the TITLE position", line))
                return;
            // Far off the page nothing shows; the clamp keeps drawing coordinates small.
            t.x = std::clamp(t.x, -100.0, 100.0);
            t.y = std::clamp(t.y, -100.0, 100.0);
            i = 3;
        }
        for (; i < tok.size(); ++i) {
            std::string key = upper(tok[i]);
            if ((key == "SIZE" || key == "ANGLE") && i + 1 < tok.size()) {
                double v = 0.0;
                if (!number(tok[i + 1], v, key == "SIZE" ? "the TITLE size" : "the TITLE angle",
                            line))
                    return;
                if (key == "ANGLE") {
                    t.angle = std::fmod(v, 360.0);
                } else if (v > 0.0) {
                    t.size = std::min(v, 50.0);
                } else {
                    warning("TITLE size must be positive; 2.5 used");
                }
                ++i;
            } else {
                warning("unknown TITLE option " + quoted(tok[i]) + " ignored");
            }
        }
        plot_.titles.push_back(std::move(t));
        after_title_ = true;
    }

    void case_line(std::string_view line, bool right_after_title) {
        quoted_text q = find_quoted(line);
        if (!q.found) {
            warning("CASE without quoted controls " + quoted(line) + ", line skipped");
            return;
        }
        if (!right_after_title || plot_.titles.empty()) {
            warning("CASE does not follow a TITLE line, line skipped");
            return;
        }
        title& t = plot_.titles.back();
        t.controls = std::string(q.text);
        not_applied(t, render_case(t.text, t.controls).not_applied);
    }

    // One warning per CASE line, naming the first few controls that are drawn as written.
    void not_applied(const title& t, const std::vector<std::size_t>& columns) {
        if (columns.empty()) return;
        std::string what = "CASE control";
        if (columns.size() > 1) what += 's';
        for (std::size_t k = 0; k < columns.size() && k < 4; ++k) {
            std::size_t i = columns[k];
            what += std::string(k == 0 ? " " : ", ") + quoted(t.controls.substr(i, 1)) + " under " +
                    quoted(t.text.substr(i, 1)) + " (column " + std::to_string(i + 1) + ")";
        }
        if (columns.size() > 4) what += " and " + std::to_string(columns.size() - 4) + " more";
        warning(what + " not applied; drawn as written");
    }

    // "X a b Y c d", either axis optional; false (with a warning) when unreadable.
    bool axis_pairs(std::string_view line, const std::vector<std::string_view>& tok, limits& x,
                    limits& y) {
        if (tok.size() <= 2) {
            warning("no axis given in " + quoted(line) + ", line skipped");
            return false;
        }
        for (std::size_t i = 2; i < tok.size(); i += 3) {
            std::string axis = upper(tok[i]);
            if ((axis != "X" && axis != "Y") || i + 2 >= tok.size()) {
                warning("cannot read the axis ranges in " + quoted(line) + ", line skipped");
                return false;
            }
            limits& l = axis == "X" ? x : y;
            if (!number(tok[i + 1], l.lo, "a range", line) ||
                !number(tok[i + 2], l.hi, "a range", line))
                return false;
            l.fixed = true;
        }
        return true;
    }

    void set_line(std::string_view line, const std::vector<std::string_view>& tok) {
        std::string what = upper(tok[1]);
        if (what == "MODE" || what == "FONT") return;  // one drawing mode and one font here
        if (what == "LIMITS" || what == "WINDOW") return set_ranges(line, tok, what == "LIMITS");
        if (what == "SYMBOL") return set_symbol(line, tok);
        warning("unknown command " + quoted(line) + ", line skipped");
    }

    // SET LIMITS (axis ranges) or SET WINDOW (the frame on the page).
    void set_ranges(std::string_view line, const std::vector<std::string_view>& tok,
                    bool limits_line) {
        limits x, y;
        if (!axis_pairs(line, tok, x, y)) return;
        for (auto [l, axis] : {std::pair{&x, 'X'}, std::pair{&y, 'Y'}}) {
            if (!l->fixed) continue;
            if (!(l->lo < l->hi)) {
                warning(std::string("empty or reversed ") + axis + " range in " + quoted(line) +
                        " ignored");
                continue;
            }
            if (limits_line) {
                (axis == 'X' ? plot_.x : plot_.y) = *l;
                continue;
            }
            set_frame(line, *l, axis);
        }
    }

    void set_frame(std::string_view line, const limits& l, char axis) {
        // The page is 13.33 x 10 units; a frame off it would show nothing.
        double page = axis == 'X' ? 13.34 : 10.0;
        if (l.lo < 0.0 || l.hi > page) {
            warning(std::string(1, axis) + " window outside the page in " + quoted(line) +
                    " ignored");
            return;
        }
        if (axis == 'X') {
            plot_.frame.x0 = l.lo, plot_.frame.x1 = l.hi;
        } else {
            plot_.frame.y0 = l.lo, plot_.frame.y1 = l.hi;
        }
    }

    // SET SYMBOL nP [SIZE s].
    void set_symbol(std::string_view line, const std::vector<std::string_view>& tok) {
        if (tok.size() < 3 || tok[2].empty() || tok[2][0] < '0' || tok[2][0] > '9') {
            warning("cannot read the symbol in " + quoted(line) + ", line skipped");
            return;
        }
        int n = 0;
        for (std::size_t k = 0; k < tok[2].size() && tok[2][k] >= '0' && tok[2][k] <= '9'; ++k)
            n = (n * 10 + (tok[2][k] - '0')) % 1000;
        double size = symbol_size_;
        if (tok.size() >= 5 && upper(tok[3]) == "SIZE") {
            if (!number(tok[4], size, "the symbol size", line)) return;
            if (!(size > 0.0)) {
                warning("symbol size must be positive in " + quoted(line) + ", line skipped");
                return;
            }
        } else if (tok.size() > 3) {
            warning("cannot read the symbol size in " + quoted(line) + "; size unchanged");
        }
        symbol_ = n;
        symbol_name_ = std::string(tok[2]);
        symbol_size_ = std::min(size, 20.0);
    }

    const std::string& name_;
    std::ostream& warn_;
    plot_file plot_;
    std::vector<point> pending_;
    int pending_first_ = 0;
    int last_curve_ = -1;
    bool after_draw_ = false;
    bool after_title_ = false;
    int symbol_ = 1;
    std::string symbol_name_;
    double symbol_size_ = 0.8;
    int line_no_ = 0;
    int warnings_ = 0;
};

}  // namespace

plot_file read_plot(std::istream& in, const std::string& name, std::ostream& warn) {
    reader r(name, warn);
    std::string line;
    while (std::getline(in, line)) r.take(line);
    return r.finish();
}

}  // namespace korva::plot
