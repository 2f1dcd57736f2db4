(function () {
  var count = 0;
  document.getElementById('counter-button').addEventListener('click', function (e) {
    // Only real input counts: a script's click() is not trusted.
    if (!e.isTrusted) return;
    count++;
    document.getElementById('counter').textContent = String(count);
  });

  var start = null;
  var dragReport = document.getElementById('drag-report');
  document.getElementById('drag-target').addEventListener('mousedown', function (e) {
    start = { x: e.clientX, y: e.clientY };
    dragReport.textContent = '起点：(' + start.x + ', ' + start.y + ') 终点：-';
  });
  document.addEventListener('mouseup', function (e) {
    if (!start) return;
    dragReport.textContent = '起点：(' + start.x + ', ' + start.y + ') 终点：(' + e.clientX + ', ' + e.clientY + ')';
    start = null;
  });

  var board = document.getElementById('board');
  var context = board.getContext('2d');
  board.addEventListener('click', function (e) {
    var r = board.getBoundingClientRect();
    var x = Math.round(e.clientX - r.left), y = Math.round(e.clientY - r.top);
    context.fillStyle = '#d33';
    context.beginPath();
    context.arc(x, y, 4, 0, Math.PI * 2);
    context.fill();
    document.getElementById('board-report').textContent = '画布点击位置：(' + x + ', ' + y + ')';
  });

  var scrollReport = document.getElementById('scroll-report');
  window.addEventListener('scroll', function () {
    scrollReport.textContent = Math.round(window.scrollX) + ', ' + Math.round(window.scrollY);
  });
})();
