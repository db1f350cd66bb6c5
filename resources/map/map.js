// The map page: one marker for the vehicle, the route driven so far, and a few kept markers.
// The program calls these functions with coordinates as text (decimal degrees). Every entry
// point swallows its own errors: a call before the map exists, or with text that is not a
// position, does nothing.
//
// Page options come in the query of the page's URL:
//   tiles        tile URL template (Leaflet form); OpenStreetMap when absent; tatvtiles: for
//                the program's local tile file
//   maxNativeZoom  the deepest zoom level the tiles have; deeper, the map enlarges its tiles
//   attribution  the tile provider's credit, plain text
//   offline      "1" when the program found no network; shows offlineText over the map
//   offlineText  the note to show

var DEFAULT_CENTER = [37.5660483, 126.9779299];
var DEFAULT_ZOOM = 16;
var DEFAULT_TILES = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
var DEFAULT_ATTRIBUTION = "\u00A9 OpenStreetMap contributors";

var map = null;
var marker = null;
var markers = [];
var route = null;
var pageOptions = { tiles: DEFAULT_TILES, attribution: DEFAULT_ATTRIBUTION, offline: false,
                    maxNativeZoom: null };

window.onerror = function () { return true; };

function escapeHtml(text) {
  return String(text).replace(/[&<>"']/g, function (c) {
    return { "&": "&amp;", "<": "&lt;", ">": "&gt;", "\"": "&quot;", "'": "&#39;" }[c];
  });
}

function readOptions() {
  var params = new URLSearchParams(window.location.search);
  var tiles = params.get("tiles");
  if (tiles && (/^(https?|file):\/\//.test(tiles) || /^tatvtiles:\//.test(tiles)))
    pageOptions.tiles = tiles;
  var nativeZoom = params.get("maxNativeZoom");
  if (nativeZoom && /^\d{1,2}$/.test(nativeZoom) && Number(nativeZoom) <= 19)
    pageOptions.maxNativeZoom = Number(nativeZoom);
  if (params.has("attribution"))
    pageOptions.attribution = params.get("attribution");
  pageOptions.offline = params.get("offline") === "1";
  pageOptions.offlineText = params.get("offlineText") || "Offline";
}

// A coordinate from text or a number; null unless it is a finite number within limit.
function toDegrees(value, limit) {
  if (typeof value === "string") {
    if (!/^\s*[-+]?(\d+\.?\d*|\.\d+)\s*$/.test(value))
      return null;
    value = Number(value);
  }
  if (typeof value !== "number" || !isFinite(value) || Math.abs(value) > limit)
    return null;
  return value;
}

function toLatLng(x, y) {
  var lat = toDegrees(x, 90);
  var lng = toDegrees(y, 180);
  return lat === null || lng === null ? null : L.latLng(lat, lng);
}

function initialize() {
  try {
    readOptions();
    // No fading: offline, every tile that fails to load would animate the page for a while.
    map = L.map("map-canvas", { center: DEFAULT_CENTER, zoom: DEFAULT_ZOOM, fadeAnimation: false });
    map.attributionControl.setPrefix(false);
    var layerOptions = { maxZoom: 19, attribution: escapeHtml(pageOptions.attribution) };
    if (pageOptions.maxNativeZoom !== null)
      layerOptions.maxNativeZoom = pageOptions.maxNativeZoom;
    L.tileLayer(pageOptions.tiles, layerOptions).addTo(map);
    route = L.polyline([], { color: "#e8402f", weight: 4, opacity: 0.8 }).addTo(map);
    marker = L.marker(DEFAULT_CENTER).addTo(map);
    if (pageOptions.offline) {
      var note = document.getElementById("offline-note");
      note.textContent = pageOptions.offlineText;
      note.style.display = "block";
    }
  } catch (e) {
  }
}

// Moves the vehicle's marker to latitude x, longitude y and centres the map on it. The map
// jumps rather than slides: positions come once a second, and a slide would keep the page
// drawing frames for a quarter of every second while a recording plays.
function DrawCurrent(x, y) {
  try {
    var position = toLatLng(x, y);
    if (position === null || map === null)
      return;
    marker.setLatLng(position);
    map.panTo(position, { animate: false });
  } catch (e) {
  }
}

// Extends the route with a point unless it repeats the last one. Returns the number of points.
function AddRoutePoint(x, y) {
  try {
    var position = toLatLng(x, y);
    if (position === null || route === null)
      return route === null ? 0 : route.getLatLngs().length;
    var points = route.getLatLngs();
    if (points.length === 0 || !points[points.length - 1].equals(position, 0))
      route.addLatLng(position);
    return route.getLatLngs().length;
  } catch (e) {
    return 0;
  }
}

function ClearRoute() {
  try {
    if (route !== null)
      route.setLatLngs([]);
  } catch (e) {
  }
}

// Keeps a further marker: location is a Leaflet position, or latitude and longitude as text.
function addMarker(location, longitude) {
  try {
    var position = longitude === undefined ? L.latLng(location) : toLatLng(location, longitude);
    if (position === null || map === null)
      return;
    markers.push(L.marker(position).addTo(map));
  } catch (e) {
  }
}

// Puts every kept marker on the given map, or takes them all off for null.
function setAllMap(target) {
  for (var i = 0; i < markers.length; i++) {
    if (target)
      markers[i].addTo(target);
    else
      markers[i].remove();
  }
}

function clearMarkers() {
  try {
    setAllMap(null);
  } catch (e) {
  }
}

function showMarkers() {
  try {
    setAllMap(map);
  } catch (e) {
  }
}

function deleteMarkers() {
  try {
    clearMarkers();
    markers = [];
  } catch (e) {
  }
}

// The page's state as JSON text, for the program's checks.
function ReadMarker() {
  try {
    var state = { ready: map !== null, offline: pageOptions.offline, tiles: pageOptions.tiles,
                  route: route === null ? 0 : route.getLatLngs().length,
                  markers: markers.length };
    if (marker !== null) {
      state.lat = marker.getLatLng().lat;
      state.lng = marker.getLatLng().lng;
    }
    return JSON.stringify(state);
  } catch (e) {
    return "";
  }
}

window.addEventListener("load", function () {
  try {
    initialize();
  } catch (e) {
  }
});
