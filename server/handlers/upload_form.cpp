#include "upload_form.h"

#include "html_text.h"

namespace glimor::server {

std::string uploadForm(const BrowserSession& session) {
  return "<form class=\"upload\" method=\"post\" action=\"/my/upload\" enctype=\"multipart/form-data\">"
         "<input type=\"hidden\" name=\"csrf\" value=\"" +
         escapeHtml(session.csrf) +
         "\">\n<label for=\"files\">Upload pictures</label>\n"
         "<input id=\"files\" name=\"files\" type=\"file\" multiple accept=\"image/*,video/webm\">\n"
         "<button type=\"submit\">Upload</button>\n"
         "<p class=\"meta\">or drop them here, or paste one with Ctrl+V</p>\n<ol "
         "class=\"results\"></ol></form>\n";
}

const std::string_view uploadFormStyle =
    "form.upload{border:2px dashed #bbb;padding:1em;margin:1em 0}form.upload.over{border-color:#06c;"
    "background:#eef5ff}.results li{margin:.5em 0}.results progress{width:20em}";

// Kept small and plain: it only moves files to /my/upload and shows what came back.
const std::string_view uploadFormScript = R"JS(
document.querySelectorAll('form.upload').forEach(function (form) {
  var picker = form.querySelector('input[type=file]');
  var csrf = form.querySelector('input[name=csrf]').value;
  var results = form.querySelector('.results');
  function line(item, label, url) {
    var row = document.createElement('div'), field = document.createElement('input');
    var button = document.createElement('button');
    field.className = 'link'; field.readOnly = true; field.value = url;
    button.type = 'button'; button.textContent = 'Copy ' + label.toLowerCase();
    button.addEventListener('click', function () {
      field.select();
      var copied = navigator.clipboard ? navigator.clipboard.writeText(url) : Promise.reject();
      copied.catch(function () { document.execCommand('copy'); });
      button.textContent = 'Copied';
    });
    row.append(label + ': ', field, ' ', button);
    item.appendChild(row);
  }
  function send(file) {
    var item = document.createElement('li'), bar = document.createElement('progress');
    item.append(file.name + ' ', bar);
    results.appendChild(item);
    var data = new FormData();
    data.append('csrf', csrf);
    data.append('files', file, file.name || 'pasted.png');
    var request = new XMLHttpRequest();
    request.open('POST', form.action);
    request.setRequestHeader('Accept', 'application/json');
    request.upload.addEventListener('progress', function (e) {
      if (e.lengthComputable) { bar.max = e.total; bar.value = e.loaded; }
    });
    request.addEventListener('load', function () {
      var answer;
      try { answer = JSON.parse(request.responseText); } catch (e) { answer = {error: 'Answer ' + request.status}; }
      item.textContent = file.name;
      if (answer.error) { item.className = 'error'; item.append(': ' + answer.error); return; }
      item.className = 'done';
      line(item, 'Link', answer.uploads[0].url);
      line(item, 'Page', answer.uploads[0].page_url);
    });
    request.addEventListener('error', function () { item.className = 'error'; item.textContent = file.name + ': not sent'; });
    request.send(data);
  }
  function sendAll(files) { for (var i = 0; i < files.length; i++) send(files[i]); }
  form.addEventListener('submit', function (e) { e.preventDefault(); sendAll(picker.files); picker.value = ''; });
  picker.addEventListener('change', function () { sendAll(picker.files); picker.value = ''; });
  form.addEventListener('dragover', function (e) { e.preventDefault(); form.classList.add('over'); });
  form.addEventListener('dragleave', function () { form.classList.remove('over'); });
  form.addEventListener('drop', function (e) {
    e.preventDefault(); form.classList.remove('over'); sendAll(e.dataTransfer.files);
  });
  document.addEventListener('paste', function (e) {
    var items = e.clipboardData ? e.clipboardData.items : [], files = [];
    for (var i = 0; i < items.length; i++) if (items[i].kind === 'file') files.push(items[i].getAsFile());
    if (files.length) { e.preventDefault(); sendAll(files); }
  });
});
)JS";

} // namespace glimor::server
