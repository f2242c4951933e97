// The live front panel: shows what the channel on /ws pushes, and sends a
// change when the operator lets this browser control. Every text from the
// instrument goes in through textContent, never as markup.
"use strict";

const token = new URLSearchParams(location.search).get("token") || "";
const rows = new Map();
let mayControl = false;
let socket;

function row(part) {
  let entry = rows.get(part.name);
  if (entry) return entry;
  const tr = document.createElement("tr");
  const name = document.createElement("td");
  const value = document.createElement("td");
  const edit = document.createElement("td");
  const input = document.createElement("input");
  input.type = "number";
  input.min = part.min;
  input.max = part.max;
  input.step = 1;
  input.dataset.name = part.name;
  input.addEventListener("change", () => {
    if (input.value === "") return; // emptied, or no number: nothing to send
    socket.send(JSON.stringify({ type: "set", token, name: part.name, value: Number(input.value) }));
  });
  name.textContent = part.name;
  tr.dataset.name = part.name;
  edit.appendChild(input);
  tr.append(name, value, edit);
  document.querySelector("#settings tbody").appendChild(tr);
  entry = { tr, value, input };
  rows.set(part.name, entry);
  return entry;
}

function showSetting(part) {
  const entry = row(part);
  const known = part.value !== undefined;
  entry.value.textContent = known ? part.text : "?";
  entry.tr.title = known ? "" : part.reason;
  entry.tr.classList.toggle("unknown", !known);
  if (known && document.activeElement !== entry.input) entry.input.value = part.value;
  entry.input.disabled = !mayControl || !known;
}

function showControl(allowed) {
  mayControl = allowed;
  document.getElementById("control").textContent =
    "Control from this browser: " + (allowed ? "allowed" : "not allowed");
  for (const entry of rows.values())
    entry.input.disabled = !allowed || entry.tr.classList.contains("unknown");
}

function addLog(line) {
  const log = document.getElementById("log");
  log.textContent += line + "\n";
  const lines = log.textContent.split("\n");
  if (lines.length > 21) log.textContent = lines.slice(-21).join("\n");
}

const handlers = {
  state(message) {
    mayControl = message.control;
    message.settings.forEach(showSetting);
    showControl(message.control);
    document.getElementById("lock").textContent = message.lock;
    document.getElementById("link").textContent = message.link;
    document.getElementById("remote").textContent = message.remote;
    document.getElementById("log").textContent = "";
    message.log.forEach(addLog);
  },
  setting: showSetting,
  control(message) { showControl(message.allowed); },
  lock(message) { document.getElementById("lock").textContent = message.text; },
  link(message) { document.getElementById("link").textContent = message.text; },
  remote(message) { document.getElementById("remote").textContent = message.text; },
  log(message) { addLog(message.line); },
};

function connect() {
  const query = token ? "?token=" + encodeURIComponent(token) : "";
  socket = new WebSocket((location.protocol === "https:" ? "wss://" : "ws://") + location.host + "/ws" + query);
  socket.onopen = () => { document.getElementById("connection").textContent = "Live"; };
  socket.onmessage = (event) => {
    const message = JSON.parse(event.data);
    const handler = handlers[message.type];
    if (handler) handler(message);
  };
  socket.onclose = (event) => {
    document.getElementById("connection").textContent = "Not connected" + (event.reason ? ": " + event.reason : "");
    showControl(false);
  };
}

connect();
