// Answers of MusicBrainz, written from its web service's schema, that the
// lookup tests serve from the stand-in server: a search, a release of two
// discs with artist credits and join phrases, and a disc id two releases
// share; and covers.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>

namespace songs_test::samples {

inline const QByteArray kRelease = "8f8d6a9a-6a3b-4c8e-9f8e-3b3a0b0d5a11";
inline const QByteArray kOther = "0c1e2d3f-4a5b-4c6d-8e7f-9a0b1c2d3e4f";

inline const QByteArray kSearchJson = R"({"created":"2024-01-01T00:00:00.000Z","count":2,"offset":0,"releases":[
 {"id":"8f8d6a9a-6a3b-4c8e-9f8e-3b3a0b0d5a11","score":100,"title":"Night Drive","date":"1987-03-02",
  "country":"GB","track-count":5,"artist-credit":[{"name":"Ana","joinphrase":" & ","artist":{"id":"x","name":"Ana"}},
  {"name":"Bo","artist":{"id":"y","name":"Bo"}}],"media":[{"format":"CD","disc-count":1,"track-count":3},
  {"format":"CD","track-count":2}]},
 {"id":"0c1e2d3f-4a5b-4c6d-8e7f-9a0b1c2d3e4f","title":"Night Drive","date":"1987","country":"US",
  "artist-credit":[{"name":"Ana"}],"media":[{"format":"12\" Vinyl","track-count":4}]},
 {"id":"not-an-id","title":"dropped"}]})";

inline const QByteArray kReleaseJson = R"({"id":"8f8d6a9a-6a3b-4c8e-9f8e-3b3a0b0d5a11","title":"Night Drive",
 "date":"1987-03-02","country":"GB",
 "artist-credit":[{"name":"Ana","joinphrase":" & "},{"name":"Bo","joinphrase":""}],
 "media":[
  {"position":1,"format":"CD","title":"","discs":[{"id":"49HHV7Eb8UKF3aQiNmu1GR8vKTY-"}],"track-count":3,"tracks":[
   {"position":1,"number":"1","title":"Headlights","length":201499,"recording":{"title":"Headlights","length":201000}},
   {"position":2,"number":"2","title":"Tunnel","length":null,"recording":{"title":"Tunnel","length":95600},
    "artist-credit":[{"name":"Ana","joinphrase":" feat. "},{"name":"Cy"}]},
   {"position":3,"number":"3","title":"Dawn","recording":{"title":"Dawn"}}]},
  {"position":2,"format":"CD","title":"Bonus","track-count":2,"tracks":[
   {"position":1,"title":"Łódź","length":300000},{"position":2,"title":"Exit","length":61000}]}]})";

// A disc id that two releases share.
inline QByteArray DiscIdJson() {
    QByteArray other = kReleaseJson;
    other.replace(kRelease, kOther).replace("\"GB\"", "\"US\"");
    return "{\"id\":\"49HHV7Eb8UKF3aQiNmu1GR8vKTY-\",\"releases\":[" + kReleaseJson + "," + other + "]}";
}

inline constexpr char kJpegBytes[] = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF\xD9";
inline const QByteArray kJpeg(kJpegBytes, sizeof kJpegBytes - 1);

// A cover the archive serves: a plain PNG of that size.
inline QByteArray Png(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace songs_test::samples
