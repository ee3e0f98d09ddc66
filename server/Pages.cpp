#include "server/Pages.h"

#include "server/Html.h"

namespace server {

namespace {

SafeHtml PlayerLink(const std::string& name) {
    Html h;
    h << "<a href=\"/players/" << UrlSegment(name) << "\">" << name << "</a>";
    return h.Safe();
}

SafeHtml RunLink(int64_t run, const std::string& text) {
    Html h;
    h << "<a href=\"/runs/" << run << "\">" << text << "</a>";
    return h.Safe();
}

SafeHtml Laps(const std::vector<int64_t>& laps) {
    Html h;
    for (size_t i = 0; i < laps.size(); ++i) {
        if (i) h << ", ";
        h << FormatTime(laps[i]);
    }
    return h.Safe();
}

SafeHtml BoardTable(const std::vector<BoardRow>& rows) {
    Html h;
    if (rows.empty()) {
        h << "<p>No verified time yet.</p>";
        return h.Safe();
    }
    h << "<table><tr><th>#</th><th>player</th><th>time</th><th>laps</th><th>date</th></tr>";
    for (const BoardRow& r : rows)
        h << "<tr><td>" << r.rank << "</td><td>" << PlayerLink(r.player) << "</td><td class=\"t\">"
          << RunLink(r.run, FormatTime(r.timeMs)) << "</td><td class=\"t\">" << Laps(r.lapsMs) << "</td><td>"
          << FormatDate(r.date) << "</td></tr>";
    h << "</table>";
    return h.Safe();
}

}  // namespace

std::string Pages::Home() {
    Html h;
    h << "<h1>Vorlan Moto: verified times</h1><p>Every time here was raced again by the server before it was "
         "ranked.</p>";
    for (const CourseInfo& c : courses_.All()) {
        h << "<section><h2><a href=\"/courses/" << UrlSegment(c.id) << "\">" << c.name << "</a></h2>";
        if (!c.map.empty())
            h << "<img class=\"map\" src=\"/courses/" << UrlSegment(c.id) << "/map.png\" alt=\"The map of " << c.name
              << "\">";
        h << "<table><tr><th>difficulty</th><th>world record</th><th>player</th></tr>";
        for (const char* d : kDifficulties) {
            const auto rows = boards_.Rows(c, d, 1);
            h << "<tr><td>" << std::string(d) << "</td>";
            if (rows.empty())
                h << "<td>-</td><td></td>";
            else
                h << "<td class=\"t\">" << RunLink(rows[0].run, FormatTime(rows[0].timeMs)) << "</td><td>"
                  << PlayerLink(rows[0].player) << "</td>";
            h << "</tr>";
        }
        h << "</table></section>";
    }
    return HtmlPage("Leaderboard", h.Safe());
}

std::optional<std::string> Pages::Course(const std::string& id) {
    const auto c = courses_.Find(id);
    if (!c) return std::nullopt;
    Html h;
    h << "<h1>" << c->name << "</h1><p>" << c->laps << " laps; course version " << c->hash << "</p>";
    if (c->shared)
        h << "<p>Shared by " << PlayerLink(boards_.Author(c->id).value_or("")) << ": <a href=\"/api/v1/courses/"
          << UrlSegment(c->id) << "/folder\">download its folder</a> and put it in your courses folder to race it.</p>";
    if (!c->map.empty())
        h << "<img class=\"map\" src=\"/courses/" << UrlSegment(c->id) << "/map.png\" alt=\"The map of " << c->name
          << "\">";
    for (const char* d : kDifficulties)
        h << "<h2>" << std::string(d) << "</h2>" << BoardTable(boards_.Rows(*c, d, 50));
    return HtmlPage(c->name, h.Safe());
}

std::optional<std::string> Pages::PlayerPage(const std::string& name) {
    if (!ValidPlayerName(name)) return std::nullopt;
    const auto player = players_.Find(name);
    if (!player) return std::nullopt;
    const auto bests = boards_.PlayerBests(*player);
    Html h;
    h << "<h1>" << player->name << "</h1><p>Racing since " << FormatDate(player->createdAt) << ".</p>";
    if (bests["bests"].empty()) {
        h << "<p>No verified time yet.</p>";
    } else {
        h << "<table><tr><th>course</th><th>difficulty</th><th>best</th><th>rank</th></tr>";
        for (const auto& b : bests["bests"]) {
            const std::string courseId = b["course"].get<std::string>();
            const auto c = courses_.Find(courseId);
            h << "<tr><td><a href=\"/courses/" << UrlSegment(courseId) << "\">" << (c ? c->name : courseId)
              << "</a>" << (b["current"].get<bool>() ? "" : " (an older version)") << "</td><td>"
              << b["difficulty"].get<std::string>() << "</td><td class=\"t\">"
              << RunLink(b["run"].get<int64_t>(), FormatTime(b["timeMs"].get<int64_t>())) << "</td><td>"
              << b["rank"].get<int64_t>() << "</td></tr>";
        }
        h << "</table>";
    }
    return HtmlPage(player->name, h.Safe());
}

std::optional<std::string> Pages::RunPage(int64_t id) {
    const auto run = runs_.Get(id);
    if (!run) return std::nullopt;
    Html h;
    h << "<h1>Run " << run->id << "</h1><p>By " << PlayerLink(run->player) << ", sent "
      << FormatDate(run->submittedAt) << ": <strong>" << std::string(StatusName(run->status)) << "</strong></p>";
    if (run->status == RunStatus::Verified) {
        const auto c = courses_.Find(run->course);
        h << "<table><tr><th>course</th><td><a href=\"/courses/" << UrlSegment(run->course) << "\">"
          << (c ? c->name : run->course) << "</a></td></tr><tr><th>difficulty</th><td>" << run->difficulty
          << "</td></tr><tr><th>time</th><td class=\"t\">" << FormatTime(run->timeMs)
          << "</td></tr><tr><th>laps</th><td class=\"t\">" << Laps(run->lapsMs) << "</td></tr></table>";
        if (pictures_.Has(run->id))
            h << "<figure><img class=\"path\" src=\"/runs/" << run->id << "/path.png\" alt=\"The bikes' paths of run "
              << run->id << " over the map of " << (c ? c->name : run->course)
              << "\"><figcaption>The race's paths: the rider white, the computer bikes orange and cyan; rings mark "
                 "new laps, red crosses wall hits.</figcaption></figure>";
    } else if (run->status == RunStatus::Rejected) {
        h << "<p>Why: " << run->reason << "</p>";
    }
    h << "<p><a href=\"/api/v1/runs/" << run->id << "/file\">Download the race file</a></p>";
    return HtmlPage("Run " + std::to_string(run->id), h.Safe());
}

std::string Pages::NotFound(const std::string& what) {
    Html h;
    h << "<h1>Not found</h1><p>" << what << "</p>";
    return HtmlPage("Not found", h.Safe());
}

}  // namespace server
